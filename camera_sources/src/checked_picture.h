// The result of a grab from the frame it got: the picture when the frame is whole, else the
// failure that says what is wrong with it.
#pragma once

#include <cstdint>
#include <vector>

#include "ffmpeg_handles.h"
#include "grab.h"

namespace tessel::camera_sources {

// A frame that arrived as JPEG data: kept as sent when it has both end markers, decodes without
// error and is not a decoder's flat stand-in.
GrabResult CheckedJpeg(std::vector<uint8_t> bytes);

// A frame the decoder put out: converted to RGB when it is not a flat stand-in.
GrabResult CheckedDecodedFrame(const AVFrame& frame);

}  // namespace tessel::camera_sources
