// The optional settings file `pictrex.ini` in the web directory: the converter's settings and the
// daily builder's frame rate, read by both programs.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "web_directory.h"

namespace pictrex {

inline constexpr const char* kSettingsName = "pictrex.ini";
// A larger settings file is refused (the defaults are used): a few lines is all it takes.
inline constexpr std::size_t kLargestSettingsFile = 64 * 1024;
// Bad lines are reported one by one up to this many, the rest as a count, each cut to this length.
inline constexpr std::size_t kReportedBadLines = 3;
inline constexpr std::size_t kLongestReportedLine = 80;

struct Settings {
    int jpegQuality = 85;     // quality = 1..100
    bool keepRaw = false;     // keep_raw = yes|no: keep image<stamp>.dc2 after converting it
    int archiveDays = 0;      // archive_days = 0..: delete archived pictures older than this; 0 keeps all
    bool banner = true;       // banner = yes|no
    std::string fontFile;     // font = path to a font file tried before the built-in list
    int timelapseFps = 24;    // timelapse_fps = 1..120: pictures per second of the daily time-lapse
};

struct LoadedSettings {
    Settings settings;
    std::vector<std::string> warnings;  // bad lines (the first few, then how many more), or a refused file
};

// "key = value" lines; blank lines, lines starting with '#' or ';' and "[section]" lines are
// skipped, and so are the lines of "[upload NAME]" sections (the upload targets, read by the
// upload queue). A bad value leaves the default in place and adds a warning: one for each of the
// first kReportedBadLines bad lines (control characters escaped), then one counting the rest.
LoadedSettings ParseSettings(std::string_view text);

// The settings in the directory's pictrex.ini; a missing file gives the defaults without
// warnings. A link, a FIFO, a device or a file above kLargestSettingsFile is refused with a warning.
LoadedSettings LoadSettings(const tessel::WebDirectory& directory);

}  // namespace pictrex
