// JPEG encoding of the web image and decoding of a published one (libjpeg).
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <span>
#include <stdexcept>
#include <vector>

#include "image.h"

namespace pictrex {

struct JpegError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

enum class Chroma {
    Halved,  // colour at half resolution both ways (4:2:0), the usual choice for photographs
    Full,    // colour at full resolution (4:4:4), for images whose neighbouring pixels are unrelated
};

// The picture as a baseline JPEG file of the given quality (1..100). Throws JpegError.
std::vector<uint8_t> EncodeJpeg(const Image& image, int quality, Chroma chroma = Chroma::Halved);

// The RGB picture a JPEG file holds, or nothing when the file is missing or not a whole JPEG.
std::optional<Image> DecodeJpegFile(const std::filesystem::path& file);

struct JpegColumn {
    int pictureWidth = 0;  // the whole picture's size
    int pictureHeight = 0;
    Image column;          // 1 × pictureHeight: the picture's middle column
};

// The middle column of a JPEG picture, decoding only the narrow band of blocks that holds it (a
// small fraction of the work of decoding the whole picture). Nothing when it is not a whole JPEG.
std::optional<JpegColumn> DecodeJpegMiddleColumn(std::span<const uint8_t> jpeg);

}  // namespace pictrex
