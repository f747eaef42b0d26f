#include "imaging/thumbnail.h"

#include <algorithm>

#include "imaging/jpeg_io.h"
#include "imaging/resize.h"

namespace imaging {
namespace {

constexpr int kThumbnailQuality = 75;

Image HalveByAveraging(const Image& source) {
    Image out = BlankImage(source.width / 2, source.height / 2);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const uint8_t* a = source.pixel(2 * x, 2 * y);
            const uint8_t* b = source.pixel(2 * x + 1, 2 * y);
            const uint8_t* c = source.pixel(2 * x, 2 * y + 1);
            const uint8_t* d = source.pixel(2 * x + 1, 2 * y + 1);
            uint8_t* o = PixelAt(out, x, y);
            for (int i = 0; i < 3; ++i) o[i] = static_cast<uint8_t>((a[i] + b[i] + c[i] + d[i] + 2) / 4);
        }
    }
    return out;
}

}  // namespace

Image MakeThumbnail(const Image& picture, int width) {
    const int height = std::max(1, static_cast<int>((static_cast<long>(picture.height) * width + picture.width / 2) /
                                                    picture.width));
    const auto halvable = [&](const Image& image) { return image.width >= 2 * width && image.height >= 2 * height; };
    if (!halvable(picture)) return ResizeLinear(picture, width, height);
    Image reduced = HalveByAveraging(picture);
    while (halvable(reduced)) reduced = HalveByAveraging(reduced);
    return ResizeLinear(std::move(reduced), width, height);
}

std::vector<uint8_t> ThumbnailJpeg(const Image& picture) { return EncodeJpeg(MakeThumbnail(picture), kThumbnailQuality); }

}  // namespace imaging
