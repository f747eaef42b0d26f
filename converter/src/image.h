// The converter's picture type: 8-bit RGB, the same type the raw picture encoder takes.
#pragma once

#include <cstddef>
#include <cstdint>

#include "rawformat/mosaic_encoder.h"

namespace pictrex {

using Image = rawformat::RgbImage;

inline Image BlankImage(int width, int height) {
    return Image{width, height, std::vector<uint8_t>(static_cast<std::size_t>(width) * height * 3, 0)};
}

inline uint8_t* PixelAt(Image& image, int x, int y) {
    return &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
}

}  // namespace pictrex
