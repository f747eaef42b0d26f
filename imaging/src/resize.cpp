#include "imaging/resize.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace imaging {
namespace {

// For one output coordinate: the two source coordinates it lies between and the second's weight
// in 1/256.
struct Tap {
    int first;
    int second;
    int weight;
};

std::vector<Tap> TapsFor(int sourceSize, int outputSize) {
    std::vector<Tap> taps(outputSize);
    const double step = static_cast<double>(sourceSize) / outputSize;
    for (int i = 0; i < outputSize; ++i) {
        const double position = std::clamp((i + 0.5) * step - 0.5, 0.0, sourceSize - 1.0);
        const int first = static_cast<int>(position);
        taps[i] = {first, std::min(first + 1, sourceSize - 1), static_cast<int>(std::lround((position - first) * 256))};
    }
    return taps;
}

uint8_t Blend(uint8_t a, uint8_t b, int weight) {
    return static_cast<uint8_t>((a * (256 - weight) + b * weight + 128) >> 8);
}

Image ResizeRows(Image source, int width) {
    if (width == source.width) return source;
    Image out = BlankImage(width, source.height);
    const std::vector<Tap> taps = TapsFor(source.width, width);
    for (int y = 0; y < source.height; ++y) {
        for (int x = 0; x < width; ++x) {
            const uint8_t* a = source.pixel(taps[x].first, y);
            const uint8_t* b = source.pixel(taps[x].second, y);
            uint8_t* o = PixelAt(out, x, y);
            for (int c = 0; c < 3; ++c) o[c] = Blend(a[c], b[c], taps[x].weight);
        }
    }
    return out;
}

Image ResizeColumns(Image source, int height) {
    if (height == source.height) return source;
    Image out = BlankImage(source.width, height);
    const std::vector<Tap> taps = TapsFor(source.height, height);
    const std::size_t rowBytes = static_cast<std::size_t>(source.width) * 3;
    for (int y = 0; y < height; ++y) {
        const uint8_t* a = source.pixel(0, taps[y].first);
        const uint8_t* b = source.pixel(0, taps[y].second);
        uint8_t* o = PixelAt(out, 0, y);
        for (std::size_t i = 0; i < rowBytes; ++i) o[i] = Blend(a[i], b[i], taps[y].weight);
    }
    return out;
}

}  // namespace

Image ResizeLinear(Image source, int width, int height) {
    return ResizeColumns(ResizeRows(std::move(source), width), height);
}

}  // namespace imaging
