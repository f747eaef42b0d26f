// JPEG files of pictures (libjpeg): encoding, and decoding within fixed size limits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "imaging/image.h"

namespace imaging {

struct JpegError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Chroma {
    Halved,  // colour at half resolution both ways (4:2:0), the usual choice for photographs
    Full,    // colour at full resolution (4:4:4), for images whose neighbouring pixels are unrelated
};

// The picture as a baseline JPEG file of the given quality (1..100). Throws JpegError.
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality, Chroma chroma = Chroma::Halved);

// The pictures read back are small: larger JPEG files, or ones declaring more pixels on a side,
// are not decoded.
inline constexpr std::size_t kLargestJpegFile = 4 * 1024 * 1024;
inline constexpr unsigned kLargestDecodedSide = 4096;

// The RGB picture JPEG data holds, or nothing (and `problem` says why) when it is not a whole
// JPEG or declares more than kLargestDecodedSide pixels on a side.
std::optional<Image> DecodeJpeg(std::span<const uint8_t> contents, std::string& problem);

// The RGB picture a JPEG file holds, or nothing when the file is missing, not a regular file of
// at most kLargestJpegFile bytes, or not decodable by DecodeJpeg.
std::optional<Image> DecodeJpegFile(const std::filesystem::path& file);

struct JpegColumn {
    int pictureWidth = 0;  // the whole picture's size
    int pictureHeight = 0;
    Image column;          // 1 × pictureHeight: the picture's middle column
};

// The middle column of a JPEG picture, decoding only the narrow band of blocks that holds it (a
// small fraction of the work of decoding the whole picture). Nothing when it is not a whole JPEG.
std::optional<JpegColumn> DecodeJpegMiddleColumn(std::span<const uint8_t> jpeg);

}  // namespace imaging
