// Turns a native picture into the RGB picture visitors see: colour reconstruction from the
// four-sum mosaic, white balance, black and white points, gamma and aspect correction.
#pragma once

#include "imaging/image.h"
#include "raw_picture.h"

namespace pictrex {

struct ConversionOptions {
    double gamma = rawformat::kDefaultGamma;
    // Share of pixels pushed to full black (by their smallest component) and to full white
    // (by their largest component).
    double clipFraction = 0.03;
};

// The computed area's colours, one pixel per sensor cell (500×241 high, 248×241 low).
imaging::Image ReconstructColours(const RawPicture& picture, const ConversionOptions& options = {});

// The whole chain: reconstructed colours stretched to the output size (500×373 high, 320×241 low).
imaging::Image ConvertRaw(const RawPicture& picture, const ConversionOptions& options = {});

}  // namespace pictrex
