#include "off_picture.h"

#include <algorithm>

#include "imaging/banner.h"
#include "rawformat/raw_layout.h"

namespace pictrex {
namespace {

using imaging::Image;

constexpr double kKeep = 0.35;  // of the last picture's brightness
constexpr uint8_t kCardGrey = 64;
constexpr const char* kHeadline = "Camera off";

}  // namespace

Image MakeOffPicture(std::optional<Image> previous, const archive::Stamp& lastPicture, imaging::TextRenderer* font) {
    const rawformat::Layout high = rawformat::LayoutFor(rawformat::Resolution::High);
    Image picture = previous ? std::move(*previous) : imaging::BlankImage(high.outputWidth, high.outputHeight);
    if (previous) {
        imaging::Darken(picture, kKeep);
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
    imaging::Darken(picture, 0.0, picture.height - imaging::BannerHeight(picture.height));
    imaging::DrawBanner(picture, {kHeadline, "last picture " + lastPicture.DisplayText()}, font);
    return picture;
}

}  // namespace pictrex
