// Linear resampling: the converter corrects the sensor's non-square cells with it, thumbnails and
// the keogram bring pictures to their size.
#pragma once

#include "imaging/image.h"

namespace imaging {

// `source` resampled to width × height by linear interpolation between neighbouring rows and
// columns, pixel centres aligned. Both sizes must be positive.
Image ResizeLinear(Image source, int width, int height);

}  // namespace imaging
