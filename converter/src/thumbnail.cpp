#include "thumbnail.h"

#include <algorithm>

#include "jpeg_io.h"
#include "resize.h"
#include "web_directory.h"

namespace pictrex {
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

void WriteThumbnail(const std::filesystem::path& archiveDirectory, const Stamp& stamp, const Image& picture) {
    using tessel::DirectoryLinks;
    const tessel::WebDirectory thumbs = tessel::WebDirectory::Open(archiveDirectory, DirectoryLinks::FollowIfOwned)
                                            .Subdirectory(kThumbsDirectory, DirectoryLinks::FollowIfOwned, true);
    try {
        thumbs.ReplaceAtomically(stamp.digits() + ".jpg", EncodeJpeg(MakeThumbnail(picture), kThumbnailQuality));
    } catch (const JpegError& e) {
        throw tessel::FileError(std::string("thumbnail of ") + stamp.digits() + ": " + e.what());
    }
}

}  // namespace pictrex
