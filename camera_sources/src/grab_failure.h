// Failed grabs: the result for a failure, and the failure an FFmpeg error code stands for.
#pragma once

#include <string>
#include <string_view>

#include "deadline.h"
#include "grab.h"

namespace tessel::camera_sources {

GrabResult Failed(GrabFailure failure, std::string reason);

// The failure for `error` (an AVERROR code) met while the grab was at `step` ("waiting for the
// reply", ...). `protocol` names the status codes ("HTTP", "RTSP"); a passed deadline is a timeout
// whatever the code says.
GrabResult FailedWithError(int error, const Deadline& deadline, std::string_view protocol, std::string_view step);

// FFmpeg's text for an error code.
std::string ErrorText(int error);

}  // namespace tessel::camera_sources
