#include "source_description.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace tessel::camera_sources {
namespace {

constexpr int kLargestVideoSide = 16384;

struct UrlScheme {
    std::string_view prefix;  // lower case, with "://"
    SourceKind kind;
};

constexpr UrlScheme kSchemes[] = {
    {"http://", SourceKind::Http},
    {"https://", SourceKind::Http},
    {"rtsp://", SourceKind::Rtsp},
};

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return text.size() >= prefix.size() &&
           std::equal(prefix.begin(), prefix.end(), text.begin(), [](char a, char b) {
               return a == std::tolower(static_cast<unsigned char>(b));
           });
}

bool IsDigits(std::string_view text) {
    return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Blanks, control characters and bytes outside ASCII have to be percent-encoded in a URL.
bool HasBadUrlCharacter(std::string_view text) {
    return std::any_of(text.begin(), text.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte <= 0x20 || byte >= 0x7f;
    });
}

int HexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::optional<std::string> PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '%') {
            decoded += text[i];
            continue;
        }
        if (i + 2 >= text.size() || HexValue(text[i + 1]) < 0 || HexValue(text[i + 2]) < 0) return std::nullopt;
        decoded += static_cast<char>(HexValue(text[i + 1]) * 16 + HexValue(text[i + 2]));
        i += 2;
    }
    return decoded;
}

std::string PercentEncoded(std::string_view text) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string encoded;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (std::isalnum(byte) || c == '-' || c == '.' || c == '_' || c == '~') {
            encoded += c;
        } else {
            encoded += '%';
            encoded += kHex[byte >> 4];
            encoded += kHex[byte & 15];
        }
    }
    return encoded;
}

bool IsHostCharacter(char c) {
    return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_';
}

// Checks "host", "host:port", "[v6]" or "[v6]:port"; `error` says what is wrong.
bool ValidHostAndPort(std::string_view hostPort, std::string& error) {
    std::string_view host = hostPort;
    std::string_view port;
    bool hasPort = false;
    if (hostPort.starts_with('[')) {
        const auto close = hostPort.find(']');
        if (close == std::string_view::npos) {
            error = "the URL's IPv6 address lacks its closing ']'";
            return false;
        }
        host = hostPort.substr(1, close - 1);
        const std::string_view after = hostPort.substr(close + 1);
        if (!after.empty() && !after.starts_with(':')) {
            error = "the URL has text after its IPv6 address";
            return false;
        }
        hasPort = !after.empty();
        if (hasPort) port = after.substr(1);
        if (host.empty() || !std::all_of(host.begin(), host.end(), [](char c) {
                return std::isxdigit(static_cast<unsigned char>(c)) || c == ':' || c == '.';
            })) {
            error = "the URL's IPv6 address is malformed";
            return false;
        }
    } else {
        const auto colon = hostPort.find(':');
        if (colon != std::string_view::npos) {
            host = hostPort.substr(0, colon);
            port = hostPort.substr(colon + 1);
            hasPort = true;
        }
        if (host.empty()) {
            error = "the URL has no host";
            return false;
        }
        if (!std::all_of(host.begin(), host.end(), IsHostCharacter)) {
            error = "the URL's host \"" + std::string(host) + "\" holds characters a host name cannot have";
            return false;
        }
    }
    if (hasPort) {
        int number = 0;
        const auto [end, problem] = std::from_chars(port.data(), port.data() + port.size(), number);
        if (!IsDigits(port) || problem != std::errc() || end != port.data() + port.size() || number < 1 ||
            number > 65535) {
            error = "the URL's port \"" + std::string(port) + "\" is not a number from 1 to 65535";
            return false;
        }
    }
    return true;
}

std::optional<SourceDescription> ParseUrl(std::string_view text, const UrlScheme& scheme, std::string& error) {
    const std::string_view rest = text.substr(scheme.prefix.size());
    const std::size_t authorityEnd = std::min(rest.find_first_of("/?#"), rest.size());
    const std::string_view authority = rest.substr(0, authorityEnd);
    const std::string_view pathAndQuery = rest.substr(authorityEnd);
    // A password may hold '@' (the last one ends the user-info), but not '/', '?' or '#'.
    const auto at = authority.rfind('@');
    const std::string_view userInfo = at == std::string_view::npos ? std::string_view() : authority.substr(0, at);
    const std::string_view hostPort = at == std::string_view::npos ? authority : authority.substr(at + 1);

    SourceDescription source;
    source.kind = scheme.kind;
    if (HasBadUrlCharacter(userInfo)) {
        error = "the URL's user name or password holds a blank or control character (percent-encode it)";
        return std::nullopt;
    }
    if (at != std::string_view::npos) {
        const auto colon = userInfo.find(':');
        const auto user = PercentDecoded(userInfo.substr(0, colon));
        const auto password =
            PercentDecoded(colon == std::string_view::npos ? std::string_view() : userInfo.substr(colon + 1));
        if (!user || !password) {
            error = "the URL's user name or password holds a '%' that is not followed by two hex digits";
            return std::nullopt;
        }
        if (user->empty()) {
            error = "the URL's user-info has no user name";
            return std::nullopt;
        }
        source.urlCredentials = SourceCredentials{*user, *password};
    }
    if (HasBadUrlCharacter(hostPort) || HasBadUrlCharacter(pathAndQuery)) {
        error = "the URL holds a blank or control character (percent-encode it)";
        return std::nullopt;
    }
    if (!ValidHostAndPort(hostPort, error)) return std::nullopt;
    source.address = std::string(scheme.prefix) + std::string(hostPort) + std::string(pathAndQuery);
    return source;
}

std::optional<SourceDescription> ParseDevice(std::string_view path, std::string& error) {
    const bool underDev = path.starts_with("/dev/") && path.size() > 5;
    const bool climbs = path.find("/../") != std::string_view::npos || path.ends_with("/..");
    if (!underDev || climbs || HasBadUrlCharacter(path)) {
        error = "\"" + std::string(path) + "\" is not a device path under /dev (for example v4l2:/dev/video0)";
        return std::nullopt;
    }
    return SourceDescription{SourceKind::V4l2, std::string(path), std::nullopt};
}

}  // namespace

const char* KindName(SourceKind kind) {
    switch (kind) {
        case SourceKind::Dc2x: return "dc2x";
        case SourceKind::V4l2: return "v4l2";
        case SourceKind::Http: return "http";
        case SourceKind::Rtsp: return "rtsp";
    }
    return "?";
}

std::optional<SourceDescription> ParseSource(std::string_view text, std::string& error) {
    if (text == "dc2x") return SourceDescription{};
    if (text.starts_with("v4l2:")) return ParseDevice(text.substr(5), error);
    if (text.starts_with("/dev/video")) {
        if (!IsDigits(text.substr(10))) {
            error = "\"" + std::string(text) + "\" is not a video device: expected /dev/videoN";
            return std::nullopt;
        }
        return ParseDevice(text, error);
    }
    for (const UrlScheme& scheme : kSchemes) {
        if (StartsWithIgnoringCase(text, scheme.prefix)) return ParseUrl(text, scheme, error);
    }
    // The value itself is not repeated: an unknown URL may still hold a password.
    const auto separator = text.find("://");
    error = separator == std::string_view::npos
                ? std::string("unknown source: expected dc2x, v4l2:/dev/videoN, /dev/videoN, http://..., https://... "
                              "or rtsp://...")
                : "unknown source kind \"" + std::string(text.substr(0, std::min<std::size_t>(separator, 16))) +
                      "://\": expected http://, https:// or rtsp:// (or dc2x or a video device)";
    return std::nullopt;
}

std::string UrlForLibrary(const SourceDescription& source, const std::optional<SourceCredentials>& credentials) {
    const std::optional<SourceCredentials>& chosen = credentials ? credentials : source.urlCredentials;
    if (!chosen || (source.kind != SourceKind::Http && source.kind != SourceKind::Rtsp)) return source.address;
    const auto schemeEnd = source.address.find("://") + 3;
    return source.address.substr(0, schemeEnd) + PercentEncoded(chosen->user) + ":" + PercentEncoded(chosen->password) +
           "@" + source.address.substr(schemeEnd);
}

std::optional<VideoSize> ParseVideoSize(std::string_view text, std::string& error) {
    const auto x = text.find_first_of("xX");
    VideoSize size;
    const auto parse = [](std::string_view digits, int& value) {
        const auto [end, problem] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
        return IsDigits(digits) && problem == std::errc() && end == digits.data() + digits.size() && value >= 1 &&
               value <= kLargestVideoSide;
    };
    if (x == std::string_view::npos || !parse(text.substr(0, x), size.width) || !parse(text.substr(x + 1), size.height)) {
        error = "\"" + std::string(text) + "\" is not a size WIDTHxHEIGHT with sides from 1 to " +
                std::to_string(kLargestVideoSide) + " (for example 1280x720)";
        return std::nullopt;
    }
    return size;
}

}  // namespace tessel::camera_sources
