// What the `source` setting names: the serial camera, a V4L2 device, an HTTP(S) URL (a JPEG
// snapshot or an MJPEG stream) or an RTSP URL. A URL's user-info (user:password@) is split off
// at once: the address kept for display never holds credentials.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tessel::camera_sources {

enum class SourceKind { Dc2x, V4l2, Http, Rtsp };

// The name station.json and the log use for a kind: "dc2x", "v4l2", "http" or "rtsp".
const char* KindName(SourceKind kind);

// A user name and password for a camera, from the URL's user-info or handed in by the caller
// (who reads them from the `source_credentials` file).
struct SourceCredentials {
    std::string user;
    std::string password;
};

struct SourceDescription {
    SourceKind kind = SourceKind::Dc2x;
    // The device path, or the URL without its user-info; safe to show anywhere. Empty for dc2x.
    std::string address;
    // The credentials written into the URL, percent-decoded.
    std::optional<SourceCredentials> urlCredentials;
};

// The description of a `source` value, or nothing with `error` set to a message that never
// repeats credentials. Accepted: "dc2x"; "v4l2:" followed by a device path under /dev (also the
// stable /dev/v4l/by-id/... names); "/dev/videoN"; "http://", "https://" and "rtsp://" URLs with
// a host, an optional port 1..65535, an optional user-info, and no blanks or control characters.
std::optional<SourceDescription> ParseSource(std::string_view text, std::string& error);

// The URL handed to the FFmpeg libraries: the address with user-info built from `credentials`
// when given, else from the URL's own. Holds the password: never log or show it.
std::string UrlForLibrary(const SourceDescription& source, const std::optional<SourceCredentials>& credentials);

struct VideoSize {
    int width = 0;
    int height = 0;
    friend bool operator==(const VideoSize&, const VideoSize&) = default;
};

// "WIDTHxHEIGHT" (each 1 ... 16384), or nothing with `error` set.
std::optional<VideoSize> ParseVideoSize(std::string_view text, std::string& error);

}  // namespace tessel::camera_sources
