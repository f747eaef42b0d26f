// Synthetic scenes for the converter's tests: flat colour patches and their native pictures.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "imaging/image.h"
#include "raw_picture.h"

namespace pictrex::testing {

using Colour = std::array<uint8_t, 3>;

// A grid of flat patches, kPatchColumns × kPatchRows, including black and white patches larger
// than the share of pixels the converter clips at either end.
inline constexpr int kPatchColumns = 4;
inline constexpr int kPatchRows = 3;
const std::vector<Colour>& PatchColours();
imaging::Image PatchScene(int width, int height);

// The native picture of the patch scene, in the plain file form.
std::vector<uint8_t> PatchPicture(rawformat::Resolution resolution);

enum class FileForm { Plain, Container, Thumbnail };
// `picture` as a file of the given form.
std::vector<uint8_t> InFileForm(const std::vector<uint8_t>& picture, FileForm form);

}  // namespace pictrex::testing
