// A picture like the ones the camera takes, for measuring the converter: sky, roofs, a lawn and
// fine detail, as a native picture.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/image.h"
#include "rawformat/raw_layout.h"

namespace pictrex::bench {

imaging::Image SampleScene(int width, int height);
std::vector<uint8_t> SamplePicture(rawformat::Resolution resolution);

}  // namespace pictrex::bench
