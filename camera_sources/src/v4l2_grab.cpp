// A V4L2 device through libavdevice: the format and size chosen from what the device offers,
// `warmupFrames` frames dropped while its automatic exposure settles, then one frame. The device
// is opened non-blocking: libavdevice waits for a frame in an ioctl its interrupt callback cannot
// stop, so the grab polls and keeps to its deadline itself.
#include <chrono>
#include <string>
#include <thread>

#include "checked_picture.h"
#include "device_library.h"
#include "ffmpeg_handles.h"
#include "frame_decoder.h"
#include "grab_failure.h"
#include "source_grabs.h"
#include "v4l2_device.h"


namespace tessel::camera_sources {
namespace {

constexpr auto kPollInterval = std::chrono::milliseconds(5);

std::string SizeText(const VideoSize& size) { return std::to_string(size.width) + "x" + std::to_string(size.height); }

void AskFormat(const std::optional<OfferedSize>& choice, const std::optional<VideoSize>& asked, Options& options) {
    if (choice) {
        options.Set("input_format", choice->format == CaptureFormat::Mjpeg ? "mjpeg" : "yuyv422");
        options.Set("video_size", SizeText(choice->size).c_str());
    } else if (asked) {
        // Neither MJPEG nor YUYV: the device's own format, at the asked size.
        options.Set("video_size", SizeText(*asked).c_str());
    }
}

}  // namespace

GrabResult GrabV4l2(const SourceDescription& source, const GrabSettings& settings, const Deadline& deadline) {
    std::string problem;
    if (!LoadDeviceLibrary(problem)) return Failed(GrabFailure::StreamError, problem);
    auto queried = QueryDevice(source.address, settings.videoSize);
    if (auto* failed = std::get_if<GrabResult>(&queried)) return std::move(*failed);
    const auto choice = ChooseCapture(std::get<DeviceOffers>(queried).sizes, settings.videoSize);

    AVFormatContext* opened = avformat_alloc_context();
    if (!opened) return Failed(GrabFailure::StreamError, "stream error: out of memory");
    opened->interrupt_callback = deadline.InterruptCallback();
    opened->flags |= AVFMT_FLAG_NONBLOCK;
    Options options;
    AskFormat(choice, settings.videoSize, options);
    const int status = avformat_open_input(&opened, source.address.c_str(), av_find_input_format("v4l2"), options.get());
    if (status < 0) {
        GrabResult failed = FailedWithError(status, deadline, "device", "opening " + source.address);
        if (failed.failure == GrabFailure::DeviceMissing || failed.failure == GrabFailure::DeviceBusy) {
            failed.reason = std::string(FailureName(failed.failure)) + ": " + source.address + ": " + failed.reason;
        }
        return failed;
    }
    const FormatContextPtr input(opened);
    const AVCodecParameters& parameters = *input->streams[0]->codecpar;
    const bool sendsJpeg = parameters.codec_id == AV_CODEC_ID_MJPEG;
    const auto decoder = sendsJpeg ? nullptr : FrameDecoder::Open(parameters, problem);
    if (!sendsJpeg && !decoder) return Failed(GrabFailure::StreamError, problem);

    const PacketPtr packet(av_packet_alloc());
    if (!packet) return Failed(GrabFailure::StreamError, "stream error: out of memory");
    int framesSeen = 0;
    for (;;) {
        if (deadline.Passed()) {
            return Failed(GrabFailure::Timeout, "timeout: the device sent " + std::to_string(framesSeen) +
                                                    " frames within " + deadline.BudgetText() + ", " +
                                                    std::to_string(settings.warmupFrames + 1) + " were needed");
        }
        av_packet_unref(packet.get());
        const int read = av_read_frame(input.get(), packet.get());
        if (read == AVERROR(EAGAIN)) {
            std::this_thread::sleep_for(kPollInterval);
            continue;
        }
        if (read < 0) return FailedWithError(read, deadline, "device", "reading frames");
        // A frame the driver flagged as damaged, or of the wrong size, comes as an empty packet.
        const bool damaged = packet->size == 0 || (packet->flags & AV_PKT_FLAG_CORRUPT);
        if (++framesSeen <= settings.warmupFrames) continue;  // damaged or not, it is dropped
        if (damaged) return Failed(GrabFailure::StreamError, "stream error: the device marked the frame as damaged");
        if (sendsJpeg) return CheckedJpeg(std::vector<uint8_t>(packet->data, packet->data + packet->size));
        switch (decoder->Decode(*packet, problem)) {
            case FrameDecoder::Output::Frame: return CheckedDecodedFrame(decoder->frame());
            case FrameDecoder::Output::Damaged: return Failed(GrabFailure::IncompleteFrame, problem);
            case FrameDecoder::Output::NeedMore: break;
        }
    }
}

}  // namespace tessel::camera_sources
