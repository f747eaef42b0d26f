#include "upload_target.h"

#include <charconv>
#include <optional>

#include "ini_text.h"

namespace tessel {
namespace {

bool StartsWith(std::string_view text, std::string_view prefix) { return text.substr(0, prefix.size()) == prefix; }

std::optional<double> Seconds(std::string_view text) {
    double value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || !(value > 0) || value > 86400) return std::nullopt;
    return value;
}

std::optional<std::size_t> Count(std::string_view text) {
    std::size_t value = 0;
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

// Applies one "key = value" line to a target; returns false when the key is unknown or the value bad.
bool Apply(UploadTarget& t, std::string_view key, std::string_view value) {
    const std::pair<std::string_view, double*> durations[] = {
        {"connect_timeout", &t.connectTimeout}, {"low_speed_time", &t.lowSpeedTime}, {"max_time", &t.maxTime},
        {"retry_first", &t.retryFirst},         {"retry_longest", &t.retryLongest},
    };
    for (const auto& [name, field] : durations) {
        if (key != name) continue;
        const auto seconds = Seconds(value);
        if (seconds) *field = *seconds;
        return seconds.has_value();
    }
    const std::pair<std::string_view, std::string*> texts[] = {
        {"endpoint", &t.endpoint},   {"region", &t.region},  {"credentials", &t.credentialsFile},
        {"known_hosts", &t.knownHosts}, {"ca_file", &t.caFile},
    };
    for (const auto& [name, field] : texts) {
        if (key != name) continue;
        *field = std::string(value);
        return !value.empty();
    }
    if (key == "queue_limit") {
        const auto n = Count(value);
        if (n) t.queueLimit = *n;
        return n.has_value();
    }
    if (key == "url") {
        const auto kind = KindOf(value);
        if (!kind || HasPassword(value) || value.find_first_of(" \t\"") != std::string_view::npos) return false;
        t.kind = *kind;
        t.url = std::string(value);
        if (t.url.back() != '/') t.url += '/';
        return true;
    }
    return false;
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

UploadTargets ParseUploadTargets(std::string_view text) {
    UploadTargets result;
    std::optional<UploadTarget> current;
    const auto finish = [&] {
        if (!current) return;
        bool duplicate = false;
        for (const auto& t : result.targets) duplicate = duplicate || t.name == current->name;
        if (current->url.empty()) {
            result.warnings.push_back("upload target " + current->name + " ignored: no usable url");
        } else if (current->kind == TargetKind::S3 && current->endpoint.empty()) {
            result.warnings.push_back("upload target " + current->name + " ignored: s3 needs an endpoint");
        } else if (duplicate) {
            result.warnings.push_back("upload target " + current->name + " ignored: named twice");
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
            } else if (name) {
                result.warnings.push_back("pictrex.ini line " + std::to_string(lines.LineNumber()) +
                                          ": upload target names use letters, digits, '-' and '_' only");
            }
            continue;
        }
        if (!current) continue;
        const auto pair = SplitKeyValue(line);
        if (!pair || !Apply(*current, pair->key, pair->value)) {
            // The line is not echoed: it may hold a secret written in the wrong place.
            result.warnings.push_back("pictrex.ini line " + std::to_string(lines.LineNumber()) + " ignored in [upload " +
                                      current->name + "]");
        }
    }
    finish();
    return result;
}

}  // namespace tessel
