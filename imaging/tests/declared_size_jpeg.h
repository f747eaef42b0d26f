// JPEG data that declares a picture of any size in a few bytes, for the readers' size limits.
#pragma once

#include <cstdint>
#include <vector>

namespace imaging::testing {

// A small baseline JPEG whose frame header declares width x height pixels of one grey component;
// its scan has only a few bytes of data (176 bytes in all).
std::vector<uint8_t> JpegDeclaring(unsigned width, unsigned height);

}  // namespace imaging::testing
