// RTSP: set up only the video stream, over TCP, and take the first key frame that decodes whole.
// Nothing is probed: the stream's description (SDP) names the codec and usually carries its
// parameter sets, so the decoder starts at once instead of spending seconds analysing the stream.
// Packets before the first key frame cannot make a whole picture and are skipped; a key frame
// that arrives damaged (a client joins a live stream in the middle of a frame) is passed over for
// the next one while the deadline allows.
#include <string>

#include "checked_picture.h"
#include "ffmpeg_handles.h"
#include "frame_decoder.h"
#include "grab_failure.h"
#include "host_lookup.h"
#include "source_grabs.h"


namespace tessel::camera_sources {
namespace {

struct OpenedStream {
    FormatContextPtr input;
    int videoIndex = -1;
};

bool IsIntraOnly(AVCodecID codec) {
    const AVCodecDescriptor* descriptor = avcodec_descriptor_get(codec);
    return descriptor && (descriptor->props & AV_CODEC_PROP_INTRA_ONLY);
}

GrabResult WhenDeadlinePassed(bool packetsCame, const std::optional<GrabResult>& lastDamage, const Deadline& deadline) {
    if (lastDamage) return *lastDamage;
    if (packetsCame) {
        return Failed(GrabFailure::NoKeyFrame, "no key frame: the stream sent none within " + deadline.BudgetText());
    }
    return Failed(GrabFailure::Timeout, "timeout: no video within " + deadline.BudgetText());
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
    bool packetsCame = false;
    bool fromKeyFrame = false;  // the decoder has had a key frame since it last started
    std::optional<GrabResult> lastDamage;
    for (;;) {
        if (deadline.Passed()) return WhenDeadlinePassed(packetsCame, lastDamage, deadline);
        av_packet_unref(packet.get());
        const int read = av_read_frame(input.get(), packet.get());
        if (read < 0) {
            if (read == AVERROR_EXIT || deadline.Passed()) return WhenDeadlinePassed(packetsCame, lastDamage, deadline);
            return FailedWithError(read, deadline, "RTSP", "waiting for a key frame");
        }
        if (packet->stream_index != video) continue;
        packetsCame = true;
        if (!fromKeyFrame && !everyFrameIsKey && !(packet->flags & AV_PKT_FLAG_KEY)) continue;
        fromKeyFrame = true;
        const FrameDecoder::Output output = decoder->Decode(*packet, problem);
        if (output == FrameDecoder::Output::NeedMore) continue;
        if (output == FrameDecoder::Output::Frame) {
            GrabResult checked = CheckedDecodedFrame(decoder->frame());
            if (checked) return checked;
            lastDamage = std::move(checked);
        } else {
            lastDamage = Failed(GrabFailure::IncompleteFrame, problem);
        }
        decoder->Restart();
        fromKeyFrame = false;
    }
}

}  // namespace tessel::camera_sources
