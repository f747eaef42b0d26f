// The pictures the programs work on: 8-bit RGB, rows top to bottom, three bytes per pixel.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace imaging {

struct Image {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;

    const uint8_t* pixel(int x, int y) const { return &rgb[(static_cast<std::size_t>(y) * width + x) * 3]; }
};

inline Image BlankImage(int width, int height) {
    return Image{width, height, std::vector<uint8_t>(static_cast<std::size_t>(width) * height * 3, 0)};
}

inline uint8_t* PixelAt(Image& image, int x, int y) {
    return &image.rgb[(static_cast<std::size_t>(y) * image.width + x) * 3];
}

}  // namespace imaging
