// Checks that a frame is whole. FFmpeg's decoders conceal damage: a JPEG cut short decodes with
// a green bottom, an H.264 picture decoded without its key frame comes out grey, and neither is an
// error. So the grab checks the JPEG's own markers and looks at the picture's bottom rows.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "grab.h"

namespace tessel::camera_sources {

struct JpegExtent {
    std::size_t length = 0;  // up to and including the end-of-image marker
};

// Where a JPEG ends, or nothing with `problem` set when `bytes` do not start with the
// start-of-image marker or do not end with the end-of-image marker (only zero or 0xFF padding,
// which some webcams add, may follow it).
std::optional<JpegExtent> FindWholeJpeg(std::span<const uint8_t> bytes, std::string& problem);

// Why the frame is a decoder's stand-in rather than a picture, or nothing when it is fine: its
// bottom rows are one flat colour, either the mid grey decoders fill missing pictures with or the
// green of all-zero colour samples that a JPEG cut short leaves behind.
std::optional<std::string> ConcealmentProblem(const RgbFrame& frame);

}  // namespace tessel::camera_sources
