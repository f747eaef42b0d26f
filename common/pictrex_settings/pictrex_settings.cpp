#include "pictrex_settings.h"

#include <charconv>
#include <optional>

#include "ini_text.h"
#include "visible_text.h"

namespace pictrex {
namespace {

std::optional<int> WholeNumber(std::string_view text, int lowest, int highest) {
    int value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < lowest || value > highest) return std::nullopt;
    return value;
}

// Applies one setting; returns false when the key is unknown or the value bad.
bool Apply(Settings& s, std::string_view key, std::string_view value) {
    if (key == "quality") {
        const auto n = WholeNumber(value, 1, 100);
        if (n) s.jpegQuality = *n;
        return n.has_value();
    }
    if (key == "archive_days") {
        const auto n = WholeNumber(value, 0, 1000000);
        if (n) s.archiveDays = *n;
        return n.has_value();
    }
    if (key == "timelapse_fps") {
        const auto n = WholeNumber(value, 1, 120);
        if (n) s.timelapseFps = *n;
        return n.has_value();
    }
    if (key == "keep_raw" || key == "banner") {
        const auto b = tessel::YesOrNo(value);
        if (b) (key == "keep_raw" ? s.keepRaw : s.banner) = *b;
        return b.has_value();
    }
    if (key == "font") {
        s.fontFile = std::string(value);
        return !value.empty();
    }
    return false;
}

}  // namespace

LoadedSettings ParseSettings(std::string_view text) {
    LoadedSettings loaded;
    int unreported = 0;
    bool inUploadSection = false;
    for (tessel::IniLines lines(text); lines.Next();) {
        const std::string_view line = lines.Line();
        // "[upload NAME]" sections describe upload targets, read by the upload queue; other
        // section lines are ignored and their keys are the converter's.
        if (line[0] == '[') {
            inUploadSection = line.rfind("[upload ", 0) == 0 || line.rfind("[upload\t", 0) == 0;
            continue;
        }
        if (inUploadSection) continue;
        const auto pair = tessel::SplitKeyValue(line);
        const bool understood = pair && Apply(loaded.settings, pair->key, pair->value);
        if (understood) continue;
        if (loaded.warnings.size() < kReportedBadLines) {
            loaded.warnings.push_back("pictrex.ini line " + std::to_string(lines.LineNumber()) + " ignored: \"" +
                                      tessel::VisibleExcerpt(line, kLongestReportedLine) + "\"");
        } else {
            ++unreported;
        }
    }
    if (unreported > 0) loaded.warnings.push_back(std::to_string(unreported) + " more pictrex.ini lines ignored");
    return loaded;
}

LoadedSettings LoadSettings(const tessel::WebDirectory& directory) {
    const tessel::FileRead read = directory.Read(kSettingsName, kLargestSettingsFile);
    if (read.missing) return {};
    if (!read.ok) return {Settings{}, {read.error + "; default settings used"}};
    return ParseSettings(read.bytes);
}

}  // namespace pictrex
