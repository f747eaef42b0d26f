#include "grab.h"

#include <mutex>

#include "deadline.h"
#include "grab_failure.h"
#include "source_grabs.h"

extern "C" {
#include <libavformat/avformat.h>
#include <libavutil/log.h>
}

namespace tessel::camera_sources {
namespace {

void PrepareLibraries() {
    static std::once_flag once;
    std::call_once(once, [] {
        // FFmpeg's own messages may quote the URL with its password; every failure is reported
        // through the grab's result instead.
        av_log_set_level(AV_LOG_QUIET);
        avformat_network_init();
    });
}

}  // namespace

GrabResult Grab(const SourceDescription& source, const GrabSettings& settings) {
    PrepareLibraries();
    const Deadline deadline(settings.timeout);
    switch (source.kind) {
        case SourceKind::Http: return GrabHttp(source, settings, deadline);
        case SourceKind::Rtsp: return GrabRtsp(source, settings, deadline);
        case SourceKind::V4l2: return GrabV4l2(source, settings, deadline);
        case SourceKind::Dc2x: break;
    }
    return Failed(GrabFailure::StreamError, "the serial camera is not grabbed through this library");
}

}  // namespace tessel::camera_sources
