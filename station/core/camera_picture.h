// A picture fetched from a camera: its bytes and the kind of file they make. The station stores
// the bytes unchanged as image<stamp>.<kind>; the kind tells the converter how to read them.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>

namespace tessel {

// A DC20/DC25 camera's native picture.
inline constexpr const char* kNativePictureKind = "dc2";
// A JPEG picture, as a webcam or an IP camera sends it.
inline constexpr const char* kJpegPictureKind = "jpg";

struct CameraPicture {
    // Holds the bytes.
    std::unique_ptr<uint8_t[]> buffer;
    // The picture: all of `buffer` or a part of it.
    std::span<const uint8_t> bytes;
    std::string kind;
};

}  // namespace tessel
