#include "keogram.h"

#include <algorithm>

#include "imaging/resize.h"

namespace tessel::daily {

void Keogram::Add(const imaging::JpegColumn& picture) {
    if (columns_.empty()) height_ = picture.column.height;
    columns_.push_back(picture.column.height == height_ ? picture.column
                                                       : imaging::ResizeLinear(picture.column, 1, height_));
}

imaging::Image Keogram::Render() const {
    if (columns_.empty()) return imaging::Image{0, 0, {}};
    imaging::Image image = imaging::BlankImage(width(), height_);
    for (int x = 0; x < width(); ++x) {
        for (int y = 0; y < height_; ++y) std::copy_n(columns_[x].pixel(0, y), 3, imaging::PixelAt(image, x, y));
    }
    return image;
}

}  // namespace tessel::daily
