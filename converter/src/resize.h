// Linear resampling, used to correct the sensor's non-square cells.
#pragma once

#include "image.h"

namespace pictrex {

// `source` resampled to width × height by linear interpolation between neighbouring rows and
// columns, pixel centres aligned. Both sizes must be positive.
Image ResizeLinear(Image source, int width, int height);

}  // namespace pictrex
