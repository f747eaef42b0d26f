#include "off_picture.h"

#include <algorithm>

#include "banner.h"

namespace pictrex {
namespace {

constexpr double kKeep = 0.35;  // of the last picture's brightness
constexpr uint8_t kCardGrey = 64;
constexpr const char* kHeadline = "Camera off";

}  // namespace

Image MakeOffPicture(std::optional<Image> previous, const Stamp& lastPicture, TextRenderer* font) {
    const rawformat::Layout high = rawformat::LayoutFor(rawformat::Resolution::High);
    Image picture = previous ? std::move(*previous) : BlankImage(high.outputWidth, high.outputHeight);
    if (previous) {
        Darken(picture, kKeep);
    } else {
        std::fill(picture.rgb.begin(), picture.rgb.end(), kCardGrey);
    }
    if (font) {
        const int pixelHeight = std::max(12, picture.height / 8);
        const int width = font->Measure(kHeadline, pixelHeight);
        font->Draw(picture, (picture.width - width) / 2, (picture.height + pixelHeight) / 2, kHeadline, pixelHeight,
                   {255, 255, 255});
    }
    // Blank out the last picture's own banner so that its text does not show through.
    Darken(picture, 0.0, picture.height - BannerHeight(picture.height));
    DrawBanner(picture, {kHeadline, "last picture " + lastPicture.DisplayText()}, font);
    return picture;
}

}  // namespace pictrex
