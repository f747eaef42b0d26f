// A video decoder that never passes on a damaged frame as a good one: concealment output is off,
// and a frame the decoder marks as damaged is reported as such.
#pragma once

#include <memory>
#include <string>

#include "ffmpeg_handles.h"
#include "grab.h"

namespace tessel::camera_sources {

class FrameDecoder {
public:
    // A decoder for the stream `parameters` describe, or nothing with `problem` set.
    static std::unique_ptr<FrameDecoder> Open(const AVCodecParameters& parameters, std::string& problem);

    enum class Output {
        Frame,     // frame() holds a whole frame
        NeedMore,  // the decoder wants more packets first
        Damaged,   // `problem` says what is wrong
    };

    // Hands one packet to the decoder and takes the frame it completes, if any.
    Output Decode(const AVPacket& packet, std::string& problem);
    const AVFrame& frame() const { return *frame_; }
    // Forgets everything decoded so far (the next frame must come from a key frame again).
    void Restart() { avcodec_flush_buffers(context_.get()); }

private:
    FrameDecoder() = default;

    CodecContextPtr context_;
    FramePtr frame_;
};

// The frame as 8-bit RGB, with the colour matrix and range the frame declares: all of it, or its
// rows from about `firstRow` down (from the nearest row above it where the colour planes start
// a row too). Empty when the pixel format cannot be converted.
RgbFrame ToRgb(const AVFrame& frame, int firstRow = 0);

}  // namespace tessel::camera_sources
