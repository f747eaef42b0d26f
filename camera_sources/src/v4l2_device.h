// What a V4L2 device offers, asked through its ioctls: whether it captures video at all, and its
// MJPEG and YUYV frame sizes.
#pragma once

#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "capture_format_choice.h"
#include "grab.h"

namespace tessel::camera_sources {

struct DeviceOffers {
    std::vector<OfferedSize> sizes;  // MJPEG and YUYV only; empty when it has neither
};

// The device's offers, or a failed grab (missing, busy, no permission, not a capture device).
// Sizes of a range are reduced to the candidates for `asked`.
std::variant<DeviceOffers, GrabResult> QueryDevice(const std::string& path, const std::optional<VideoSize>& asked);

}  // namespace tessel::camera_sources
