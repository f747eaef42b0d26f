// The grab of each source kind, behind Grab(), which starts the deadline they share.
#pragma once

#include "deadline.h"
#include "grab.h"

namespace tessel::camera_sources {

// HTTP(S): a JPEG snapshot or the first frame of an MJPEG stream, told apart by the reply's type.
GrabResult GrabHttp(const SourceDescription& source, const GrabSettings& settings, const Deadline& deadline);

// RTSP over TCP: the first whole key frame the stream sends.
GrabResult GrabRtsp(const SourceDescription& source, const GrabSettings& settings, const Deadline& deadline);

// A V4L2 device: the first frame after the warm-up frames.
GrabResult GrabV4l2(const SourceDescription& source, const GrabSettings& settings, const Deadline& deadline);

}  // namespace tessel::camera_sources
