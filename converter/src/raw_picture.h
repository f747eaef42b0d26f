// Reading a stored native picture in any of the file forms the cameras' tools produce.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <variant>
#include <vector>

#include "rawformat/raw_layout.h"
#include "web_directory.h"

namespace pictrex {

// The native picture: header and sensor lines, exactly LayoutFor(resolution).totalBytes bytes.
struct RawPicture {
    rawformat::Resolution resolution = rawformat::Resolution::High;
    std::vector<uint8_t> bytes;

    uint8_t cell(int line, int column) const {
        const rawformat::Layout layout = rawformat::LayoutFor(resolution);
        return bytes[layout.headerBytes + static_cast<std::size_t>(line) * layout.lineCells + column];
    }
};

// Bytes in front of the native picture in the container form, and its signature.
inline constexpr std::size_t kContainerHeaderBytes = 128;
inline constexpr uint8_t kContainerSignature[] = {0x43, 0x4F, 0x4D, 0x45, 0x54, 0x00};
// Bytes of the thumbnail stored in front of the native picture in the thumbnail form.
inline constexpr std::size_t kThumbnailBytes = 5120;

struct PictureError {
    std::string message;
};

// Recognises the native picture in a file's contents: the plain form, the container form
// (128-byte header starting with the signature) or the thumbnail form (5120 bytes in front), each
// with a high- or low-resolution picture whose header byte agrees with its size.
std::variant<RawPicture, PictureError> RecognisePicture(std::span<const uint8_t> contents);

// Reads and recognises the picture file `name` in `directory`; missing, unreadable or oversized
// files are errors, and so are links, FIFOs and devices (refused without waiting on them).
std::variant<RawPicture, PictureError> ReadPictureFile(const tessel::WebDirectory& directory, const std::string& name);

}  // namespace pictrex
