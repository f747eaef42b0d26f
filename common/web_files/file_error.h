// The one exception type of the web-directory file operations: its text names the file and says
// what went wrong, ready for a log line.
#pragma once

#include <filesystem>
#include <stdexcept>
#include <string>

namespace tessel {

struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// "<file>: <what>", followed by ": <the system's text for error>" when `error` is not 0.
std::string FileProblem(const std::filesystem::path& file, const std::string& what, int error);

}  // namespace tessel
