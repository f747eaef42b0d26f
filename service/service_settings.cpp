#include "service_settings.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <charconv>
#include <fstream>
#include <functional>
#include <map>
#include <set>

#include "ini_text.h"

namespace tessel::service {
namespace {

constexpr std::array<std::string_view, 5> kPorts{"Auto", "COM1", "COM2", "COM3", "COM4"};
constexpr std::array<std::string_view, 7> kSpeeds{"Auto", "9600", "19200", "38400", "57600", "115200", "230400"};
constexpr std::array<std::string_view, 2> kCameras{"DC20", "DC25"};
// A settings file is a few lines; anything much larger is not one.
constexpr std::streamsize kLargestFile = 64 * 1024;

bool SameIgnoringCase(std::string_view a, std::string_view b)
{
    return std::ranges::equal(a, b, [](char x, char y) { return std::tolower(static_cast<unsigned char>(x)) ==
                                                                 std::tolower(static_cast<unsigned char>(y)); });
}

template <std::size_t N>
std::string Listing(const std::array<std::string_view, N>& entries)
{
    std::string text;
    for (const auto entry : entries) {
        text += (text.empty() ? "" : ", ") + std::string(entry);
    }
    return text;
}

// The index of `value` in `entries` (ignoring case), or an error text.
template <std::size_t N>
std::string ParseEntry(std::string_view value, const std::array<std::string_view, N>& entries, int32_t& index)
{
    for (std::size_t i = 0; i < N; ++i) {
        if (SameIgnoringCase(value, entries[i])) {
            index = static_cast<int32_t>(i);
            return {};
        }
    }
    return "'" + std::string(value) + "' is not one of " + Listing(entries);
}

std::string ParseRefresh(std::string_view value, uint32_t& seconds)
{
    uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size() || parsed < 30 || parsed > 90) {
        return "'" + std::string(value) + "' is not a whole number of seconds from 30 to 90";
    }
    seconds = parsed;
    return {};
}

std::string ParseYesNo(std::string_view value, bool& flag)
{
    for (const auto yes : {"yes", "true", "on", "1"}) {
        if (SameIgnoringCase(value, yes)) {
            flag = true;
            return {};
        }
    }
    for (const auto no : {"no", "false", "off", "0"}) {
        if (SameIgnoringCase(value, no)) {
            flag = false;
            return {};
        }
    }
    return "'" + std::string(value) + "' is not yes or no";
}

std::string ParseNonEmpty(std::string_view value, std::string& text)
{
    if (value.empty()) {
        return "needs a value";
    }
    text = value;
    return {};
}

using KeyParser = std::function<std::string(std::string_view, ServiceSettings&)>;

const std::map<std::string, KeyParser, std::less<>>& KeyParsers()
{
    static const std::map<std::string, KeyParser, std::less<>> parsers{
        {"port", [](std::string_view v, ServiceSettings& s) { return ParseEntry(v, kPorts, s.portIndex); }},
        {"device", [](std::string_view v, ServiceSettings& s) { s.device = v; return std::string(); }},
        {"speed", [](std::string_view v, ServiceSettings& s) { return ParseEntry(v, kSpeeds, s.speedIndex); }},
        {"camera", [](std::string_view v, ServiceSettings& s) { return ParseEntry(v, kCameras, s.cameraIndex); }},
        {"refresh", [](std::string_view v, ServiceSettings& s) { return ParseRefresh(v, s.refreshSeconds); }},
        {"archive", [](std::string_view v, ServiceSettings& s) { return ParseYesNo(v, s.archive); }},
        {"message", [](std::string_view v, ServiceSettings& s) { s.message = v; return std::string(); }},
        {"webdir", [](std::string_view v, ServiceSettings& s) {
             std::string path;
             std::string error = ParseNonEmpty(v, path);
             s.webdir = path;
             return error;
         }},
    };
    return parsers;
}

std::string KnownKeys()
{
    std::string text;
    for (const auto& [key, parser] : KeyParsers()) {
        text += (text.empty() ? "" : ", ") + key;
    }
    return text;
}

}  // namespace

SettingsResult ParseServiceSettings(std::string_view text, const std::string& fileName)
{
    ServiceSettings settings;
    std::set<std::string, std::less<>> seen;
    for (IniLines lines(text); lines.Next();) {
        // A '#' after the first character is part of the line: "message = a # b" keeps "a # b".
        const std::string_view line = lines.Line();
        const std::string where = fileName + ":" + std::to_string(lines.LineNumber()) + ": ";
        const auto pair = SplitKeyValue(line);
        if (!pair) {
            return {std::nullopt, where + "'" + std::string(line) + "' is not a line of the form key = value"};
        }
        const auto [key, value] = *pair;
        const auto parser = KeyParsers().find(key);
        if (parser == KeyParsers().end()) {
            return {std::nullopt, where + std::string(key) + ": unknown key (known keys: " + KnownKeys() + ")"};
        }
        if (!seen.insert(std::string(key)).second) {
            return {std::nullopt, where + std::string(key) + ": given twice"};
        }
        if (const std::string error = parser->second(value, settings); !error.empty()) {
            return {std::nullopt, where + std::string(key) + ": " + error};
        }
    }
    return {settings, {}};
}

SettingsResult LoadServiceSettings(const std::filesystem::path& file)
{
    std::error_code error;
    const auto type = std::filesystem::status(file, error).type();
    if (type == std::filesystem::file_type::not_found) {
        return {std::nullopt, file.string() + ": no such file"};
    }
    // Refuses a directory or a FIFO (which would block the reader) before opening it.
    if (type != std::filesystem::file_type::regular) {
        return {std::nullopt, file.string() + ": not a regular file"};
    }
    std::ifstream stream(file, std::ios::binary);
    if (!stream) {
        return {std::nullopt, file.string() + ": cannot be read"};
    }
    std::string text(static_cast<std::size_t>(kLargestFile) + 1, '\0');
    stream.read(text.data(), kLargestFile + 1);
    if (stream.bad()) {
        return {std::nullopt, file.string() + ": cannot be read"};
    }
    text.resize(static_cast<std::size_t>(stream.gcount()));
    if (text.size() > static_cast<std::size_t>(kLargestFile)) {
        return {std::nullopt, file.string() + ": larger than a settings file can be (64 KiB)"};
    }
    return ParseServiceSettings(text, file.string());
}

}  // namespace tessel::service
