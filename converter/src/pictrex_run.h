// One run of the converter: arguments to exit status, with the web directory's files as effects.
#pragma once

#include <ctime>
#include <filesystem>
#include <functional>
#include <ostream>
#include <string>
#include <vector>

namespace pictrex {

// The converter's log in the web directory: one line per run.
inline constexpr const char* kLogName = "pictrex.log";

struct Environment {
    std::filesystem::path webDirectory;      // where the station started us
    std::filesystem::path programDirectory;  // where pictrex lies: archindex is looked for there first
    std::string searchPath;                  // PATH, where archindex is looked for next
    std::function<std::time_t()> now;
    std::vector<std::filesystem::path> fontFiles;  // tried after the settings' font
};

// Runs the converter for the words after the program name and returns its exit status. A usage
// error only prints the usage line on `errors`; every other run appends one line to pictrex.log
// and, when it fails, prints the reason on `errors`.
int RunPictrex(const std::vector<std::string>& words, const Environment& environment, std::ostream& errors);

}  // namespace pictrex
