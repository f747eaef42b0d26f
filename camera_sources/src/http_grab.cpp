// A snapshot URL answers with one JPEG (image/jpeg); a stream URL with a never-ending MIME
// multipart reply (multipart/x-mixed-replace), one JPEG per part. Both go through libavformat's
// HTTP client: which one a URL is shows only in the reply's headers, after which the same open
// connection is read either to its end or by the MJPEG demuxer, and one interrupt callback bounds
// the connect, the headers, the body and the stream alike.
#include <algorithm>
#include <cctype>
#include <string>

#include "checked_picture.h"
#include "ffmpeg_handles.h"
#include "grab_failure.h"
#include "host_lookup.h"
#include "source_grabs.h"

extern "C" {
#include <libavutil/opt.h>
}

namespace tessel::camera_sources {
namespace {

// Far more than any camera's snapshot; a larger reply is not one picture.
constexpr std::size_t kLargestSnapshot = 32 * 1024 * 1024;
constexpr int kReadChunk = 64 * 1024;

// The reply's content type in lower case, without parameters ("multipart/x-mixed-replace").
std::string ContentType(AVIOContext& io) {
    uint8_t* value = nullptr;
    if (av_opt_get(&io, "mime_type", AV_OPT_SEARCH_CHILDREN, &value) < 0 || !value) return {};
    std::string type(reinterpret_cast<const char*>(value));
    av_free(value);
    type = type.substr(0, type.find(';'));
    type.erase(std::remove_if(type.begin(), type.end(), [](unsigned char c) { return std::isspace(c); }), type.end());
    std::transform(type.begin(), type.end(), type.begin(), [](unsigned char c) { return std::tolower(c); });
    return type;
}

bool IsJpegType(const std::string& type) {
    return type == "image/jpeg" || type == "image/jpg" || type == "image/pjpeg";
}

GrabResult ReadSnapshot(AVIOContext& io, const Deadline& deadline) {
    std::vector<uint8_t> bytes;
    for (;;) {
        const std::size_t used = bytes.size();
        bytes.resize(used + kReadChunk);
        const int got = avio_read(&io, bytes.data() + used, kReadChunk);
        bytes.resize(used + static_cast<std::size_t>(std::max(got, 0)));
        if (got == AVERROR_EOF || got == 0) break;
        if (got < 0 && !deadline.Passed() && !bytes.empty()) {
            return Failed(GrabFailure::IncompleteFrame, "incomplete frame: the reply broke off after " +
                                                            std::to_string(bytes.size()) + " bytes (" +
                                                            ErrorText(got) + ")");
        }
        if (got < 0) return FailedWithError(got, deadline, "HTTP", "receiving the picture");
        if (bytes.size() > kLargestSnapshot) {
            return Failed(GrabFailure::NotAPicture, "not a picture: the reply is larger than 32 MiB");
        }
    }
    return CheckedJpeg(std::move(bytes));
}

GrabResult ReadFirstStreamFrame(IoContextPtr& io, const std::string& address, const Deadline& deadline) {
    AVFormatContext* opened = avformat_alloc_context();
    if (!opened) return Failed(GrabFailure::StreamError, "stream error: out of memory");
    opened->pb = io.get();
    opened->flags |= AVFMT_FLAG_CUSTOM_IO;
    opened->interrupt_callback = deadline.InterruptCallback();
    // The demuxer takes the part boundary from the reply's content type.
    const int status = avformat_open_input(&opened, address.c_str(), av_find_input_format("mpjpeg"), nullptr);
    if (status < 0) return FailedWithError(status, deadline, "HTTP", "waiting for the stream's first frame");
    const FormatContextPtr input(opened);
    const PacketPtr packet(av_packet_alloc());
    if (!packet) return Failed(GrabFailure::StreamError, "stream error: out of memory");
    const int read = av_read_frame(input.get(), packet.get());
    if (read < 0) return FailedWithError(read, deadline, "HTTP", "waiting for the stream's first frame");
    if (deadline.Passed()) {
        return Failed(GrabFailure::Timeout, "timeout: the stream's first frame did not arrive whole within " +
                                                deadline.BudgetText());
    }
    return CheckedJpeg(std::vector<uint8_t>(packet->data, packet->data + packet->size));
}

}  // namespace

GrabResult GrabHttp(const SourceDescription& source, const GrabSettings& settings, const Deadline& deadline) {
    if (auto failed = LookUpHostInTime(source.address, deadline)) return std::move(*failed);
    const std::string url = UrlForLibrary(source, settings.credentials);
    const AVIOInterruptCB interrupt = deadline.InterruptCallback();
    Options options;
    options.Set("user_agent", "tessel");
    options.Set("icy", "0");          // no radio-stream metadata request
    options.Set("tls_verify", "1");   // https: the camera's certificate must be valid for its name
    AVIOContext* opened = nullptr;
    const int status = avio_open2(&opened, url.c_str(), AVIO_FLAG_READ, &interrupt, options.get());
    IoContextPtr io(opened);
    if (status == AVERROR(EIO) && !deadline.Passed() && source.address.starts_with("https://")) {
        return Failed(GrabFailure::StreamError,
                      "stream error: no secure connection (the camera's certificate must be valid for its name)");
    }
    if (status < 0) return FailedWithError(status, deadline, "HTTP", "waiting for the reply");

    const std::string type = ContentType(*io);
    if (IsJpegType(type)) return ReadSnapshot(*io, deadline);
    if (type == "multipart/x-mixed-replace") return ReadFirstStreamFrame(io, source.address, deadline);
    return Failed(GrabFailure::NotAPicture,
                  "not a picture: the reply is " + (type.empty() ? std::string("of no stated type") : type));
}

}  // namespace tessel::camera_sources
