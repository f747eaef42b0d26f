#include "upload_target.h"

#include <algorithm>
#include <charconv>
#include <cstdio>
#include <optional>

#include "ini_text.h"

namespace tessel {
namespace {

constexpr double kLongestSeconds = 86400;

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::optional<double> Seconds(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0) || value > kLongestSeconds) return std::nullopt;
    return value;
}

template <typename Number>
std::optional<Number> Count(std::string_view text) {
    Number value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value == 0) return std::nullopt;
    return value;
}

// The kind of target a url names; nothing for a scheme that is not supported.
std::optional<TargetKind> KindOf(std::string_view url) {
    if (StartsWith(url, "sftp://")) return TargetKind::Sftp;
    if (StartsWith(url, "ftp://")) return TargetKind::Ftp;
    if (StartsWith(url, "ftps://")) return TargetKind::Ftps;
    if (StartsWith(url, "https://") || StartsWith(url, "http://")) return TargetKind::WebDav;
    if (StartsWith(url, "s3://")) return TargetKind::S3;
    return std::nullopt;
}

// True when the authority part of a url carries "user:password@": passwords belong in the
// credentials file, never in the settings file that others may read.
bool HasPassword(std::string_view url) {
    const auto start = url.find("://") + 3;
    const std::string_view authority = url.substr(start, url.find('/', start) - start);
    const auto at = authority.rfind('@');
    return at != std::string_view::npos && authority.substr(0, at).find(':') != std::string_view::npos;
}

// `text` fit for a log line: bytes outside printable ASCII are written as \xNN.
std::string Printable(std::string_view text) {
    std::string shown;
    for (const char c : text) {
        if (c >= 0x20 && c < 0x7f && c != '\\') {
            shown += c;
        } else {
            char escaped[8];
            std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(c));
            shown += escaped;
        }
    }
    return shown;
}

// A key as it may be shown: a word of lower-case letters, digits and '_' (anything else might be
// a secret written in the wrong place).
std::string ShownKey(std::string_view key) {
    const bool word = !key.empty() && key.size() <= 32 && std::all_of(key.begin(), key.end(), [](char c) {
        return (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '_';
    });
    return word ? "'" + std::string(key) + "'" : "(not shown)";
}

// Applies one "key = value" line to a target; returns why it was not applied, empty when it was.
std::string Apply(UploadTarget& t, std::string_view key, std::string_view value) {
    const std::pair<std::string_view, double*> durations[] = {
        {"connect_timeout", &t.connectTimeout}, {"low_speed_time", &t.lowSpeedTime}, {"max_time", &t.maxTime},
        {"retry_first", &t.retryFirst},         {"retry_longest", &t.retryLongest}, {"retry_held", &t.retryHeld},
    };
    for (const auto& [name, field] : durations) {
        if (key != name) continue;
        const auto seconds = Seconds(value);
        if (!seconds) return std::string(name) + ": not a number of seconds above 0 and at most 86400; the default stays";
        *field = *seconds;
        return {};
    }
    const std::pair<std::string_view, std::string*> texts[] = {
        {"endpoint", &t.endpoint},   {"region", &t.region},  {"credentials", &t.credentialsFile},
        {"known_hosts", &t.knownHosts}, {"ca_file", &t.caFile},
    };
    for (const auto& [name, field] : texts) {
        if (key != name) continue;
        if (value.empty()) return std::string(name) + ": empty";
        *field = std::string(value);
        return {};
    }
    const std::pair<std::string_view, bool*> switches[] = {
        {"accept_new_host_key", &t.acceptNewHostKey}, {"allow_insecure", &t.allowInsecure}};
    for (const auto& [name, field] : switches) {
        if (key != name) continue;
        const auto yes = YesOrNo(value);
        if (!yes) return std::string(name) + ": not yes or no; the default (no) stays";
        *field = *yes;
        return {};
    }
    if (key == "queue_limit") {
        const auto n = Count<std::size_t>(value);
        if (!n) return "queue_limit: not a whole number above 0; the default stays";
        t.queueLimit = *n;
        return {};
    }
    if (key == "max_upload_bytes") {
        const auto n = Count<std::uint64_t>(value);
        if (!n) return "max_upload_bytes: not a whole number of bytes above 0; the default stays";
        t.maxUploadBytes = *n;
        return {};
    }
    if (key == "url") {
        const auto kind = KindOf(value);
        if (!kind) return "url: not an sftp://, ftp://, ftps://, http://, https:// or s3:// url";
        if (HasPassword(value)) return "url: holds a password; put it in the credentials file";
        if (value.find_first_of(" \t\"") != std::string_view::npos) return "url: holds a blank or a quote";
        t.kind = *kind;
        t.url = std::string(value);
        if (t.url.back() != '/') t.url += '/';
        return {};
    }
    return "unknown key " + ShownKey(key);
}

// The target name of a section header "[upload NAME]", or nothing for another section.
std::optional<std::string_view> UploadSectionName(std::string_view header) {
    std::string_view inside = TrimBlanks(header.substr(1, header.size() - 2));
    if (!StartsWith(inside, "upload") || inside.size() < 7 || (inside[6] != ' ' && inside[6] != '\t')) return std::nullopt;
    return TrimBlanks(inside.substr(6));
}

}  // namespace

bool IsValidTargetName(std::string_view name) {
    if (name.empty() || name.size() > 64) return false;
    for (const char c : name) {
        const bool ok = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' || c == '_';
        if (!ok) return false;
    }
    return true;
}

UploadTargets ParseUploadTargets(std::string_view text, std::string_view fileName) {
    UploadTargets result;
    const auto warn = [&](int line, std::string_view section, const std::string& why) {
        result.warnings.push_back(std::string(fileName) + " line " + std::to_string(line) + ": [upload " +
                                  Printable(section) + "] " + why);
    };
    std::optional<UploadTarget> current;
    int currentLine = 0;
    const auto finish = [&] {
        if (!current) return;
        const bool duplicate = std::any_of(result.targets.begin(), result.targets.end(),
                                           [&](const UploadTarget& t) { return t.name == current->name; });
        if (current->url.empty()) {
            warn(currentLine, current->name, "not used: no usable url");
        } else if (current->kind == TargetKind::S3 && current->endpoint.empty()) {
            warn(currentLine, current->name, "not used: s3 needs an endpoint");
        } else if (duplicate) {
            warn(currentLine, current->name, "not used: a target of this name comes earlier");
        } else {
            result.targets.push_back(std::move(*current));
        }
        current.reset();
    };
    for (IniLines lines(text); lines.Next();) {
        const std::string_view line = lines.Line();
        if (line[0] == '[' && line.back() == ']') {
            finish();
            const auto name = UploadSectionName(line);
            if (name && IsValidTargetName(*name)) {
                current = UploadTarget{};
                current->name = std::string(*name);
                currentLine = lines.LineNumber();
            } else if (name) {
                warn(lines.LineNumber(), *name, "not used: target names use letters, digits, '-' and '_' only");
            }
            continue;
        }
        if (!current) continue;
        const auto pair = SplitKeyValue(line);
        // The line is not echoed: it may hold a secret written in the wrong place.
        const std::string why = pair ? Apply(*current, pair->key, pair->value) : "not a key = value line";
        if (!why.empty()) warn(lines.LineNumber(), current->name, why + "; line ignored");
    }
    finish();
    return result;
}

}  // namespace tessel
