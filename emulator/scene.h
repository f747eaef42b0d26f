// What the emulated camera sees: a synthetic scene that changes over time, or a fixed picture
// read from a binary PPM file.
#pragma once

#include <ctime>
#include <string>

#include "rawformat/mosaic_encoder.h"

namespace dc2x {

// Colour bars, the time of day `when` in large digits, and a square that moves with the
// seconds, at `width` x `height`.
rawformat::RgbImage ClockScene(std::time_t when, int width, int height);

// Reads a binary PPM ("P6", maximum value up to 255). Throws std::runtime_error.
rawformat::RgbImage ReadPpm(const std::string& path);

// The scene shrunk to width x height by picking the nearest pixel.
rawformat::RgbImage Shrink(const rawformat::RgbImage& scene, int width, int height);

}  // namespace dc2x
