// The converter's log `pictrex.log`: one line per run.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>

namespace pictrex {

// "YYYY-MM-DD hh:mm:ss <arguments>: <outcome> (<n> ms)\n" for a run that began at `start`.
std::string LogLine(std::time_t start, const std::string& arguments, const std::string& outcome, long milliseconds);

// Appends the line in one write, so that lines of concurrent runs never interleave. Returns
// false when the log cannot be written (the run's result does not depend on it).
bool AppendLogLine(const std::filesystem::path& logFile, const std::string& line);

}  // namespace pictrex
