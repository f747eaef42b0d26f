// The run logs of the programs that keep the archive (pictrex.log, tessel-daily.log): one line per
// run, in one format.
#pragma once

#include <ctime>
#include <string>

namespace archive {

// "YYYY-MM-DD hh:mm:ss <arguments>: <outcome> (<n> ms)\n" for a run that began at `start`.
// Control characters in the arguments and the outcome are written as visible escapes, so the
// line stays one line and carries no terminal escape sequence.
std::string LogLine(std::time_t start, const std::string& arguments, const std::string& outcome, long milliseconds);

}  // namespace archive
