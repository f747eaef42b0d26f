#include "run_log.h"

#include <fcntl.h>
#include <unistd.h>

#include "stamp.h"

namespace pictrex {

std::string LogLine(std::time_t start, const std::string& arguments, const std::string& outcome, long milliseconds) {
    const auto when = Stamp::Parse(StampDigitsOf(start));
    std::string line = (when ? when->DisplayText() : StampDigitsOf(start)) + " " + arguments + ": " + outcome;
    for (char& c : line) {
        if (c == '\n' || c == '\r') c = ' ';
    }
    return line + " (" + std::to_string(milliseconds) + " ms)\n";
}

bool AppendLogLine(const std::filesystem::path& logFile, const std::string& line) {
    const int descriptor = ::open(logFile.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0666);
    if (descriptor < 0) return false;
    const bool whole = ::write(descriptor, line.data(), line.size()) == static_cast<ssize_t>(line.size());
    return ::close(descriptor) == 0 && whole;
}

}  // namespace pictrex
