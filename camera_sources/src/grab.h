// One grab from a V4L2 device, an HTTP(S) snapshot or MJPEG stream, or an RTSP stream: open, get
// one good frame made after the grab began, close, all under one monotonic deadline. A grab that
// fails says why in a reason fit for the log (it never holds a password).
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "source_description.h"

namespace tessel::camera_sources {

inline constexpr int kShortestSourceTimeout = 1;  // seconds, the range of `source_timeout`
inline constexpr int kLongestSourceTimeout = 60;
inline constexpr int kDefaultSourceTimeout = 10;
inline constexpr int kDefaultWarmupFrames = 5;

struct GrabSettings {
    std::chrono::milliseconds timeout{kDefaultSourceTimeout * 1000};  // the whole grab
    std::optional<SourceCredentials> credentials;  // wins over the URL's user-info
    // V4L2 only: the size asked of the device (the nearest it offers); nothing for its largest
    // MJPEG or YUYV size up to 1920×1080.
    std::optional<VideoSize> videoSize;
    int warmupFrames = kDefaultWarmupFrames;  // V4L2 only: frames dropped after opening
};

// A frame that already was a complete JPEG (snapshot, MJPEG stream, MJPEG V4L2 format), with the
// bytes as the camera sent them (up to the end-of-image marker).
struct CameraJpeg {
    std::vector<uint8_t> bytes;
    int width = 0;
    int height = 0;
};

// A decoded frame (RTSP, raw V4L2 formats), 8-bit RGB, rows top to bottom.
struct RgbFrame {
    int width = 0;
    int height = 0;
    std::vector<uint8_t> rgb;
};

using GrabbedPicture = std::variant<CameraJpeg, RgbFrame>;

enum class GrabFailure {
    Timeout,            // the deadline passed
    ConnectionRefused,  // nothing listens at the address
    HostUnreachable,    // unknown host name, no route
    Status,             // the server answered with an error status (401, 404, ...)
    NotAPicture,        // the reply is HTML or another type, or too large
    IncompleteFrame,    // a frame that does not decode completely
    GreyFrame,          // a frame that is uniformly grey or green: decoder concealment
    NoKeyFrame,         // packets came, but no key frame before the deadline
    DeviceMissing,      // no such device, or not a video capture device, or no permission
    DeviceBusy,         // another program uses the device
    StreamError,        // anything else the stream or device did wrong
};

// A short name of the failure for logs and status: "timeout", "refused", ...
const char* FailureName(GrabFailure failure);

struct GrabResult {
    std::optional<GrabbedPicture> picture;  // set when the grab worked
    GrabFailure failure = GrabFailure::StreamError;
    std::string reason;  // why the grab failed, for the log

    explicit operator bool() const { return picture.has_value(); }
};

// One grab from `source` (not dc2x: the serial camera has its own driver).
GrabResult Grab(const SourceDescription& source, const GrabSettings& settings);

}  // namespace tessel::camera_sources
