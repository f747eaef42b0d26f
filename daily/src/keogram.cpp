#include "keogram.h"

#include <algorithm>

#include "resize.h"

namespace tessel::daily {

void Keogram::Add(const pictrex::JpegColumn& picture) {
    if (columns_.empty()) height_ = picture.column.height;
    columns_.push_back(picture.column.height == height_ ? picture.column
                                                       : pictrex::ResizeLinear(picture.column, 1, height_));
}

pictrex::Image Keogram::Render() const {
    if (columns_.empty()) return pictrex::Image{0, 0, {}};
    pictrex::Image image = pictrex::BlankImage(width(), height_);
    for (int x = 0; x < width(); ++x) {
        for (int y = 0; y < height_; ++y) std::copy_n(columns_[x].pixel(0, y), 3, pictrex::PixelAt(image, x, y));
    }
    return image;
}

}  // namespace tessel::daily
