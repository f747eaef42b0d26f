// The converter's optional settings file `pictrex.ini` in the web directory.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace pictrex {

struct Settings {
    int jpegQuality = 85;     // quality = 1..100
    bool keepRaw = false;     // keep_raw = yes|no: keep image<stamp>.dc2 after converting it
    int archiveDays = 0;      // archive_days = 0..: delete archived pictures older than this; 0 keeps all
    bool banner = true;       // banner = yes|no
    std::string fontFile;     // font = path to a font file tried before the built-in list
};

struct LoadedSettings {
    Settings settings;
    std::vector<std::string> warnings;  // one per line that was not understood
};

// "key = value" lines; blank lines, lines starting with '#' or ';' and "[section]" lines are
// skipped, and so are the lines of "[upload NAME]" sections (the upload targets, read by the
// upload queue). A bad value leaves the default in place and adds a warning.
LoadedSettings ParseSettings(std::string_view text);

// The settings in `file`; a missing file gives the defaults without warnings.
LoadedSettings LoadSettings(const std::filesystem::path& file);

}  // namespace pictrex
