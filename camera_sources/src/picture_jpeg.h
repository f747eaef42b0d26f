// A grabbed picture as the JPEG file the station stores: the camera's own bytes when it sent a
// JPEG, else the decoded frame encoded once at high quality.
#pragma once

#include <cstdint>
#include <vector>

#include "grab.h"

namespace tessel::camera_sources {

inline constexpr int kDecodedFrameQuality = 95;

// Throws std::runtime_error when the encoder fails.
std::vector<uint8_t> PictureAsJpeg(const GrabbedPicture& picture);

}  // namespace tessel::camera_sources
