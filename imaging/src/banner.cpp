#include "imaging/banner.h"

#include <algorithm>
#include <cmath>

namespace imaging {
namespace {

constexpr double kStripShare = 0.06;  // of the picture's height
constexpr int kSmallestStrip = 16;
constexpr double kStripKeeps = 0.3;  // of the scene's brightness under the strip
constexpr double kTextShare = 0.68;  // of the strip's height
constexpr TextColour kWhite{255, 255, 255};

}  // namespace

int BannerHeight(int imageHeight) {
    return std::min(imageHeight, std::max(kSmallestStrip, static_cast<int>(std::lround(imageHeight * kStripShare))));
}

void Darken(Image& image, double keep, int top, int bottom) {
    if (bottom < 0) bottom = image.height;
    const int scale = static_cast<int>(std::lround(keep * 256));
    for (int y = top; y < bottom; ++y) {
        uint8_t* row = PixelAt(image, 0, y);
        for (int i = 0; i < image.width * 3; ++i) row[i] = static_cast<uint8_t>(row[i] * scale >> 8);
    }
}

void DrawBanner(Image& image, const BannerText& text, TextRenderer* font) {
    const int strip = BannerHeight(image.height);
    const int top = image.height - strip;
    Darken(image, kStripKeeps, top);
    if (!font) return;

    const int pixelHeight = std::max(8, static_cast<int>(strip * kTextShare));
    const int margin = std::max(4, strip / 3);
    const int baseline = image.height - (strip - pixelHeight) / 2 - pixelHeight / 5;
    const int rightWidth = font->Measure(text.right, pixelHeight);
    const int rightLeft = image.width - margin - rightWidth;
    font->Draw(image, rightLeft, baseline, text.right, pixelHeight, kWhite);
    if (!text.left.empty()) {
        const std::string caption = font->Fit(text.left, pixelHeight, rightLeft - 2 * margin);
        font->Draw(image, margin, baseline, caption, pixelHeight, kWhite);
    }
}

}  // namespace imaging
