// The picture archive `archive/` in the web directory: archived pictures, their retention and
// the index page, which the `archindex` program rebuilds.
#pragma once

#include <cstdint>
#include <ctime>
#include <filesystem>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "stamp.h"

namespace pictrex {

inline constexpr const char* kArchiveDirectory = "archive";

// Writes archive/<stamp>.jpg atomically, creating the directory when missing. Throws FileError.
void ArchivePicture(const std::filesystem::path& webDirectory, const Stamp& stamp, std::span<const uint8_t> jpeg);

// Deletes archived pictures (files named <stamp>.jpg) whose stamp lies more than `days` days
// before the local time `now`, with their thumbnails; other files are left alone. Returns the
// stamps of the deleted pictures.
std::vector<Stamp> DeleteExpiredPictures(const std::filesystem::path& webDirectory, int days, std::time_t now);

// The archindex program: beside `programDirectory` when it is there, else the first one on
// `searchPath` (a PATH value); nothing when neither has it.
std::optional<std::filesystem::path> FindArchindex(const std::filesystem::path& programDirectory,
                                                   const std::string& searchPath);

struct ProgramOutcome {
    bool ran = false;       // started and ended normally
    int exitStatus = -1;    // its exit status when it ran
    std::string output;     // what it wrote on standard output
};

// Runs `program` without arguments in `workingDirectory` and waits for it.
ProgramOutcome RunProgram(const std::filesystem::path& program, const std::filesystem::path& workingDirectory);

}  // namespace pictrex
