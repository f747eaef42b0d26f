#include "grab_failure.h"

#include <cerrno>

extern "C" {
#include <libavutil/error.h>
}

namespace tessel::camera_sources {
namespace {

struct StatusCode {
    int error;
    const char* text;
};

constexpr StatusCode kStatusCodes[] = {
    {AVERROR_HTTP_BAD_REQUEST, "400 bad request"},
    {AVERROR_HTTP_UNAUTHORIZED, "401 unauthorized (missing or wrong user name or password)"},
    {AVERROR_HTTP_FORBIDDEN, "403 forbidden"},
    {AVERROR_HTTP_NOT_FOUND, "404 not found"},
    {AVERROR_HTTP_OTHER_4XX, "4xx client error"},
    {AVERROR_HTTP_SERVER_ERROR, "5xx server error"},
};

}  // namespace

const char* FailureName(GrabFailure failure) {
    switch (failure) {
        case GrabFailure::Timeout: return "timeout";
        case GrabFailure::ConnectionRefused: return "refused";
        case GrabFailure::HostUnreachable: return "unreachable";
        case GrabFailure::Status: return "status";
        case GrabFailure::NotAPicture: return "not a picture";
        case GrabFailure::IncompleteFrame: return "incomplete frame";
        case GrabFailure::GreyFrame: return "grey frame";
        case GrabFailure::NoKeyFrame: return "no key frame";
        case GrabFailure::DeviceMissing: return "device missing";
        case GrabFailure::DeviceBusy: return "device busy";
        case GrabFailure::StreamError: return "stream error";
    }
    return "?";
}

GrabResult Failed(GrabFailure failure, std::string reason) {
    GrabResult result;
    result.failure = failure;
    result.reason = std::move(reason);
    return result;
}

std::string ErrorText(int error) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(error, text, sizeof text);
    return text;
}

GrabResult FailedWithError(int error, const Deadline& deadline, std::string_view protocol, std::string_view step) {
    const std::string during(step);
    if (error == AVERROR_EXIT || deadline.Passed()) {
        return Failed(GrabFailure::Timeout, "timeout: nothing within " + deadline.BudgetText() + " while " + during);
    }
    for (const StatusCode& status : kStatusCodes) {
        if (error == status.error) return Failed(GrabFailure::Status, std::string(protocol) + " " + status.text);
    }
    switch (error) {
        case AVERROR(ECONNREFUSED): return Failed(GrabFailure::ConnectionRefused, "connection refused");
        case AVERROR(EHOSTUNREACH):
        case AVERROR(ENETUNREACH): return Failed(GrabFailure::HostUnreachable, "host unreachable");
        case AVERROR(ETIMEDOUT): return Failed(GrabFailure::Timeout, "timeout: the connection timed out");
        case AVERROR(ENOENT):
        case AVERROR(ENODEV):
        case AVERROR(ENXIO): return Failed(GrabFailure::DeviceMissing, "no such device");
        case AVERROR(EACCES):
        case AVERROR(EPERM): return Failed(GrabFailure::DeviceMissing, "no permission to open the device");
        case AVERROR(EBUSY): return Failed(GrabFailure::DeviceBusy, "the device is busy (another program uses it)");
        case AVERROR_EOF: return Failed(GrabFailure::StreamError, "stream error: the stream ended while " + during);
        default: return Failed(GrabFailure::StreamError, "stream error while " + during + ": " + ErrorText(error));
    }
}

}  // namespace tessel::camera_sources
