#include "checked_picture.h"

#include <algorithm>
#include <string>

#include "frame_check.h"
#include "frame_decoder.h"
#include "grab_failure.h"

namespace tessel::camera_sources {
namespace {

// Enough rows for the concealment check, which looks at the bottom rows.
constexpr int kCheckedRows = 16;
constexpr const char* kUnconvertible = "stream error: the frame's pixel format cannot be converted";

}  // namespace

GrabResult CheckedJpeg(std::vector<uint8_t> bytes) {
    std::string problem;
    const auto extent = FindWholeJpeg(bytes, problem);
    if (!extent) {
        return Failed(problem.starts_with("not a picture") ? GrabFailure::NotAPicture : GrabFailure::IncompleteFrame,
                      problem);
    }
    bytes.resize(extent->length);

    const CodecParametersPtr parameters(avcodec_parameters_alloc());
    if (!parameters) return Failed(GrabFailure::StreamError, "stream error: out of memory for the decoder");
    parameters->codec_type = AVMEDIA_TYPE_VIDEO;
    parameters->codec_id = AV_CODEC_ID_MJPEG;
    const auto decoder = FrameDecoder::Open(*parameters, problem);
    const PacketPtr packet(av_packet_alloc());
    if (!decoder) return Failed(GrabFailure::StreamError, problem);
    if (!packet || av_new_packet(packet.get(), static_cast<int>(bytes.size())) < 0) {
        return Failed(GrabFailure::StreamError, "stream error: out of memory for the frame");
    }
    std::copy(bytes.begin(), bytes.end(), packet->data);
    FrameDecoder::Output output = decoder->Decode(*packet, problem);
    if (output == FrameDecoder::Output::NeedMore) {
        // The JPEG decoder gives its frame at once; asking again with an empty packet drains it.
        const PacketPtr end(av_packet_alloc());
        if (end) output = decoder->Decode(*end, problem);
    }
    if (output != FrameDecoder::Output::Frame) {
        return Failed(GrabFailure::IncompleteFrame, problem.empty() ? "incomplete frame: the JPEG did not decode" : problem);
    }
    // The JPEG is kept as it is: only its bottom rows are converted, for the check.
    const AVFrame& frame = decoder->frame();
    const RgbFrame bottom = ToRgb(frame, frame.height - kCheckedRows);
    if (bottom.rgb.empty()) return Failed(GrabFailure::StreamError, kUnconvertible);
    if (auto concealed = ConcealmentProblem(bottom)) return Failed(GrabFailure::GreyFrame, std::move(*concealed));
    GrabResult result;
    result.picture = CameraJpeg{std::move(bytes), frame.width, frame.height};
    return result;
}

GrabResult CheckedDecodedFrame(const AVFrame& frame) {
    RgbFrame rgb = ToRgb(frame);
    if (rgb.rgb.empty()) return Failed(GrabFailure::StreamError, kUnconvertible);
    if (auto concealed = ConcealmentProblem(rgb)) return Failed(GrabFailure::GreyFrame, std::move(*concealed));
    GrabResult result;
    result.picture = std::move(rgb);
    return result;
}

}  // namespace tessel::camera_sources
