// The archive's thumbnails: archive/thumbs/<stamp>.jpg, a small copy of each archived picture for
// the gallery.
#pragma once

#include <filesystem>

#include "image.h"
#include "stamp.h"

namespace pictrex {

inline constexpr const char* kThumbsDirectory = "thumbs";
inline constexpr int kThumbnailWidth = 160;

// `picture` reduced to `width` pixels wide (height in proportion, at least 1). Halves by 2×2
// averaging first while it is at least twice as wide, so that fine detail averages out instead
// of turning into aliasing, then resamples linearly to the exact size.
Image MakeThumbnail(const Image& picture, int width = kThumbnailWidth);

// Writes the thumbnail of `picture` atomically as <archiveDirectory>/thumbs/<stamp>.jpg, creating
// the folder when missing. Throws tessel::FileError.
void WriteThumbnail(const std::filesystem::path& archiveDirectory, const Stamp& stamp, const Image& picture);

}  // namespace pictrex
