// Thumbnails: small copies of pictures, such as the gallery shows for each archived picture.
#pragma once

#include <cstdint>
#include <vector>

#include "imaging/image.h"

namespace imaging {

inline constexpr int kThumbnailWidth = 160;

// `picture` reduced to `width` pixels wide (height in proportion, at least 1). Halves by 2×2
// averaging first while it is at least twice as wide, so that fine detail averages out instead
// of turning into aliasing, then resamples linearly to the exact size.
Image MakeThumbnail(const Image& picture, int width = kThumbnailWidth);

// The thumbnail of `picture` as a JPEG file. Throws JpegError.
std::vector<uint8_t> ThumbnailJpeg(const Image& picture);

}  // namespace imaging
