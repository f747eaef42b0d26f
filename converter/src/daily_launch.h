// Starting the daily builder `tessel-daily YYYYMMDD` for a finished day, detached: the converter
// does not wait for it, and it outlives the converter's run.
#pragma once

#include <filesystem>
#include <string>

namespace pictrex {

// Starts tessel-daily (beside `programDirectory`, else on `searchPath`) with `day` in
// `webDirectory`, in its own session at a lower priority, with its standard streams on /dev/null.
// Returns a note for the converter's log saying what happened.
std::string StartDailyBuilder(const std::filesystem::path& programDirectory, const std::string& searchPath,
                              const std::filesystem::path& webDirectory, const std::string& day);

}  // namespace pictrex
