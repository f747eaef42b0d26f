// Builds a native camera picture from an RGB scene: the inverse of the converter's chain, so
// that converting the result gives back the scene's colours.
#pragma once

#include <cstdint>
#include <vector>

#include "rawformat/raw_layout.h"

namespace rawformat {

// An 8-bit RGB picture, rows top to bottom, three bytes per pixel.
struct RgbImage {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

// Returns the raw picture (header included, LayoutFor(r).totalBytes bytes) showing `scene`
// stretched over the picture's output size. The scene must not be empty.
std::vector<uint8_t> EncodeScene(const RgbImage& scene, Resolution r);

}  // namespace rawformat
