// A keogram: one column from every picture of a day, side by side, oldest on the left, so the
// whole day (light, weather, night) shows in one image.
#pragma once

#include "imaging/image.h"
#include "imaging/jpeg_io.h"

namespace tessel::daily {

class Keogram {
public:
    // Appends the middle column of the next picture, scaled to the height of the first one.
    void Add(const imaging::JpegColumn& picture);

    int width() const { return static_cast<int>(columns_.size()); }
    // The keogram so far; empty (0 × 0) before the first picture.
    imaging::Image Render() const;

private:
    int height_ = 0;
    std::vector<imaging::Image> columns_;
};

}  // namespace tessel::daily
