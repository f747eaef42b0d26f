// Running the archive's index builder `archindex` after a picture was archived.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace pictrex {

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
