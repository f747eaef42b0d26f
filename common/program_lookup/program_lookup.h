// Finding a companion program (the station's converter, the converter's index builder): first
// in the directory of the running executable, so an installed set of programs uses its own
// members, then on PATH.
#pragma once

#include <optional>
#include <string>

namespace tessel {

// Directory of the running executable, or "" when it cannot be told.
std::string ExecutableDirectory();

// Full path of the executable `name`: in `executableDir` if it is there, else in the first
// entry of `pathVariable` (colon-separated; an empty entry means the current directory) that
// holds it. Only regular files that may be executed count. Nothing when none does.
std::optional<std::string> FindProgram(const std::string& name, const std::string& executableDir,
                                       const std::string& pathVariable);

}  // namespace tessel
