// Small helpers of the camera server tests.
#pragma once

#include <chrono>
#include <string>

#include "grab.h"

namespace tessel::camera_sources {

// A grab from `text` (a source setting) with `timeout`, and how long it took.
struct TimedGrab {
    GrabResult result;
    std::chrono::duration<double> took{};
};
TimedGrab GrabFrom(const std::string& text, std::chrono::milliseconds timeout,
                   const std::optional<SourceCredentials>& credentials = std::nullopt);

// What a grab may take beyond its timeout: closing, and a loaded machine.
inline constexpr std::chrono::seconds kDeadlineSlack{3};

// The mean colour of the picture's middle tenth, each channel 0..255.
struct MeanColour {
    double r = 0, g = 0, b = 0;
};
MeanColour MiddleColour(const GrabbedPicture& picture);

// The picture as RGB: decoded when it is a camera's JPEG.
RgbFrame AsRgb(const GrabbedPicture& picture);

}  // namespace tessel::camera_sources
