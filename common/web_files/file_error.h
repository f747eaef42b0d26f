// The one exception type of the web-directory file operations: its text names the file and says
// what went wrong, ready for a log line.
#pragma once

#include <stdexcept>

namespace tessel {

struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

}  // namespace tessel
