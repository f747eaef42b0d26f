// JPEG encoding of the web image and decoding of a published one (libjpeg).
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "image.h"

namespace pictrex {

struct JpegError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// The picture as a baseline JPEG file of the given quality (1..100). Throws JpegError.
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality);

// A published picture is small: larger JPEG files, or ones declaring more pixels on a side, are
// not decoded (the camera-off picture then falls back to the plain card).
inline constexpr std::size_t kLargestJpegFile = 4 * 1024 * 1024;
inline constexpr unsigned kLargestDecodedSide = 4096;

// The RGB picture JPEG data holds, or nothing (and `problem` says why) when it is not a whole
// JPEG or declares more than kLargestDecodedSide pixels on a side.
std::optional<Image> DecodeJpeg(std::span<const uint8_t> contents, std::string& problem);

// The RGB picture a JPEG file holds, or nothing when the file is missing, not a regular file of
// at most kLargestJpegFile bytes, or not decodable by DecodeJpeg.
std::optional<Image> DecodeJpegFile(const std::filesystem::path& file);

}  // namespace pictrex
