// JPEG encoding of the web image and decoding of a published one (libjpeg).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <stdexcept>
#include <vector>

#include "image.h"

namespace pictrex {

struct JpegError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The picture as a baseline JPEG file of the given quality (1..100). Throws JpegError.
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality);

// The RGB picture a JPEG file holds, or nothing when the file is missing or not a whole JPEG.
std::optional<Image> DecodeJpegFile(const std::filesystem::path& file);

}  // namespace pictrex
