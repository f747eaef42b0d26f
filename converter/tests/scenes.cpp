#include "scenes.h"

#include <algorithm>

#include "rawformat/mosaic_encoder.h"

namespace pictrex::testing {

using imaging::Image;

const std::vector<Colour>& PatchColours() {
    static const std::vector<Colour> colours = {
        {0, 0, 0},      {255, 255, 255}, {128, 128, 128}, {200, 60, 50},   //
        {60, 180, 80},  {50, 80, 200},   {220, 200, 60},  {70, 190, 200},  //
        {190, 70, 170}, {230, 140, 40},  {90, 90, 90},    {200, 200, 200},
    };
    return colours;
}

namespace {

// Colour of the patch a scene position lies in.
const Colour& PatchAt(int x, int y, int width, int height) {
    return PatchColours()[(y * kPatchRows / height) * kPatchColumns + x * kPatchColumns / width];
}

}  // namespace

Image PatchScene(int width, int height) {
    // Patch borders are soft ramps kRamp pixels wide (a box average), as a lens draws them: a
    // hard step would leave mosaic artefacts darker than black along every border.
    constexpr int kRamp = 12;
    Image scene = imaging::BlankImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            std::array<int, 3> sum{};
            int count = 0;
            for (int dy = -kRamp / 2; dy <= kRamp / 2; ++dy) {
                for (int dx = -kRamp / 2; dx <= kRamp / 2; ++dx) {
                    const Colour& c = PatchAt(std::clamp(x + dx, 0, width - 1), std::clamp(y + dy, 0, height - 1), width, height);
                    for (int i = 0; i < 3; ++i) sum[i] += c[i];
                    ++count;
                }
            }
            for (int i = 0; i < 3; ++i) imaging::PixelAt(scene, x, y)[i] = static_cast<uint8_t>((sum[i] + count / 2) / count);
        }
    }
    return scene;
}

std::vector<uint8_t> PatchPicture(rawformat::Resolution resolution) {
    auto encode = [](rawformat::Resolution r) {
        const rawformat::Layout layout = rawformat::LayoutFor(r);
        Image scene = PatchScene(layout.outputWidth, layout.outputHeight);
        return rawformat::EncodeScene({scene.width, scene.height, std::move(scene.rgb)}, r);
    };
    // Encoding takes a while; the pictures never change.
    static const std::vector<uint8_t> high = encode(rawformat::Resolution::High);
    static const std::vector<uint8_t> low = encode(rawformat::Resolution::Low);
    return resolution == rawformat::Resolution::High ? high : low;
}

std::vector<uint8_t> InFileForm(const std::vector<uint8_t>& picture, FileForm form) {
    std::vector<uint8_t> file;
    if (form == FileForm::Container) {
        file.assign(std::begin(kContainerSignature), std::end(kContainerSignature));
        file.resize(kContainerHeaderBytes, 0);
    } else if (form == FileForm::Thumbnail) {
        file.assign(kThumbnailBytes, 0x5A);
    }
    file.insert(file.end(), picture.begin(), picture.end());
    return file;
}

}  // namespace pictrex::testing
