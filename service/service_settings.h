// The headless station's settings, read from an INI file of `key = value` lines. The keys mirror
// the window's controls, with the window's list entries as values:
//   port     Auto, COM1 … COM4              device   serial device COM1 stands for (optional)
//   speed    Auto, 9600 … 230400            camera   DC20, DC25
//   refresh  seconds between pictures, 30 … 90
//   archive  yes/no                         message  the caption printed on the picture
//   webdir   the web directory (default: the current directory)
// Lines starting with '#' or ';' are comments; blank lines are ignored.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::service {

// Defaults are the window's: COM1, 115200, DC20, 60 s, archive on, no caption.
struct ServiceSettings {
    int32_t portIndex = 1;        // 0 Auto, 1..4 COM1..COM4
    std::string device;           // "" leaves COM1 at the driver's default
    int32_t speedIndex = 5;       // index in Auto, 9600, 19200, 38400, 57600, 115200, 230400
    int32_t cameraIndex = 0;      // 0 DC20, 1 DC25
    uint32_t refreshSeconds = 60;
    bool archive = true;
    std::string message;
    std::filesystem::path webdir = ".";

    bool operator==(const ServiceSettings&) const = default;
};

// Either settings or one error line "FILE:LINE: KEY: what is wrong".
struct SettingsResult {
    std::optional<ServiceSettings> settings;
    std::string error;
};

// Parses the text of a settings file; `fileName` only names it in errors.
SettingsResult ParseServiceSettings(std::string_view text, const std::string& fileName);

// Reads and parses `file`.
SettingsResult LoadServiceSettings(const std::filesystem::path& file);

}  // namespace tessel::service
