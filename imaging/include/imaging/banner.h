// The strip along the bottom of the web image: caption on the left, time on the right.
#pragma once

#include <string>

#include "imaging/image.h"
#include "imaging/text_renderer.h"

namespace imaging {

struct BannerText {
    std::string left;   // the caption; may be empty
    std::string right;  // the picture's date and time
};

// Height of the strip for a picture of the given height.
int BannerHeight(int imageHeight);

// Darkens the bottom strip of `image` and writes the texts on it in white, so they read on any
// scene. Without a font only the strip is drawn. The left text is shortened with an ellipsis
// rather than run into the right one.
void DrawBanner(Image& image, const BannerText& text, TextRenderer* font);

// Scales every pixel of the picture (or of rows [top, bottom)) towards black by `keep` (0..1).
void Darken(Image& image, double keep, int top = 0, int bottom = -1);

}  // namespace imaging
