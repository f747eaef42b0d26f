// RTSP: set up only the video stream, over TCP, and take the first key frame that decodes whole.
// Nothing is probed: the stream's description (SDP) names the codec and usually carries its
// parameter sets, so the decoder starts at once instead of spending seconds analysing the stream.
// Packets before the first key frame cannot make a whole picture and are skipped; a key frame
// that arrives damaged (a client joins a live stream in the middle of a frame) is passed over for
// the next one while the deadline allows.
#include <chrono>
#include <string>

#include "checked_picture.h"
#include "ffmpeg_handles.h"
#include "frame_decoder.h"
#include "grab_failure.h"
#include "host_lookup.h"
#include "source_grabs.h"

namespace tessel::camera_sources {
namespace {

bool IsIntraOnly(AVCodecID codec) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec);
    return descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
}

// A stream that sent nothing for this long before the deadline has stalled rather than lacked
// a key frame.
constexpr auto kStalledFor = std::chrono::seconds(1);

struct StreamProgress {
    std::optional<std::chrono::steady_clock::time_point> lastPacket;
    std::optional<GrabResult> lastDamage;  // the last key frame that did not decode whole
};

GrabResult WhenDeadlinePassed(const StreamProgress& progress, const Deadline& deadline) {
    if (progress.lastDamage) return *progress.lastDamage;
    if (!progress.lastPacket) return Failed(GrabFailure::Timeout, "timeout: no video within " + deadline.BudgetText());
    if (std::chrono::steady_clock::now() - *progress.lastPacket > kStalledFor) {
        return Failed(GrabFailure::Timeout,
                      "timeout: the stream stopped sending before a key frame came within " + deadline.BudgetText());
    }
    return Failed(GrabFailure::NoKeyFrame, "no key frame: the stream sent none within " + deadline.BudgetText());
}

}  // namespace

GrabResult GrabRtsp(const SourceDescription& source, const GrabSettings& settings, const Deadline& deadline) {
    if (auto failed = LookUpHostInTime(source.address, deadline)) return std::move(*failed);
    const std::string url = UrlForLibrary(source, settings.credentials);
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened) return Failed(GrabFailure::StreamError, "stream error: out of memory");
    opened->interrupt_callback = deadline.InterruptCallback();
    Options options;
    options.Set("rtsp_transport", "tcp");
    options.Set("allowed_media_types", "video");
    options.Set("user_agent", "tessel");
    const int status = avformat_open_input(&opened, url.c_str(), av_find_input_format("rtsp"), options.get());
    if (status < 0) return FailedWithError(status, deadline, "RTSP", "setting up the stream");
    const FormatContextPtr input(opened);

    const int video = av_find_best_stream(input.get(), AVMEDIA_TYPE_VIDEO, -1, -1, nullptr, 0);
    if (video < 0) return Failed(GrabFailure::StreamError, "stream error: the stream has no video");
    const AVCodecParameters& parameters = *input->streams[video]->codecpar;
    std::string problem;
    const auto decoder = FrameDecoder::Open(parameters, problem);
    if (!decoder) return Failed(GrabFailure::StreamError, problem);
    const bool everyFrameIsKey = IsIntraOnly(parameters.codec_id);

    const PacketPtr packet(av_packet_alloc());
    if (!packet) return Failed(GrabFailure::StreamError, "stream error: out of memory");
    StreamProgress progress;
    bool fromKeyFrame = false;  // the decoder has had a key frame since it last started
    for (;;) {
        if (deadline.Passed()) return WhenDeadlinePassed(progress, deadline);
        av_packet_unref(packet.get());
        const int read = av_read_frame(input.get(), packet.get());
        // When the interrupt ends a read, the demuxer still hands out the frame it had buffered.
        if (read == AVERROR_EXIT || deadline.Passed()) return WhenDeadlinePassed(progress, deadline);
        if (read < 0) return FailedWithError(read, deadline, "RTSP", "waiting for a key frame");
        if (packet->stream_index != video) continue;
        progress.lastPacket = std::chrono::steady_clock::now();
        if (!fromKeyFrame && !everyFrameIsKey && !(packet->flags & AV_PKT_FLAG_KEY)) continue;
        fromKeyFrame = true;
        const FrameDecoder::Output output = decoder->Decode(*packet, problem);
        if (output == FrameDecoder::Output::NeedMore) continue;
        if (output == FrameDecoder::Output::Frame) {
            GrabResult checked = CheckedDecodedFrame(decoder->frame());
            if (checked) return checked;
            progress.lastDamage = std::move(checked);
        } else {
            progress.lastDamage = Failed(GrabFailure::IncompleteFrame, problem);
        }
        decoder->Restart();
        fromKeyFrame = false;
    }
}

}  // namespace tessel::camera_sources
