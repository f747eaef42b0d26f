// Which format and size to ask of a V4L2 device, from what it offers: MJPEG (kept as the camera's
// own JPEG) or YUYV (decoded), at the size asked by `video_size` or else the largest up to
// 1920×1080.
#pragma once

#include <optional>
#include <vector>

#include "source_description.h"

namespace tessel::camera_sources {

enum class CaptureFormat { Mjpeg, Yuyv };

struct OfferedSize {
    CaptureFormat format = CaptureFormat::Mjpeg;
    VideoSize size;
    friend bool operator==(const OfferedSize&, const OfferedSize&) = default;
};

// A range of sizes a device accepts (V4L2 "stepwise" and "continuous" sizes).
struct SizeRange {
    VideoSize smallest;
    VideoSize largest;
    int widthStep = 1;
    int heightStep = 1;
};

inline constexpr VideoSize kLargestDefaultSize{1920, 1080};

// The sizes of a range worth choosing from: its largest up to 1920×1080 and, when a size is
// asked, the one nearest to it.
std::vector<VideoSize> CandidateSizes(const SizeRange& range, const std::optional<VideoSize>& asked);

// The offer to take: the nearest to `asked` (by the sum of the width and height differences), or
// without it the largest (by area) that fits 1920×1080, else the smallest offered. At equal
// standing MJPEG wins (the camera's JPEG is kept as it is, and USB webcams send it faster).
// Nothing when nothing is offered.
std::optional<OfferedSize> ChooseCapture(const std::vector<OfferedSize>& offers, const std::optional<VideoSize>& asked);

}  // namespace tessel::camera_sources
