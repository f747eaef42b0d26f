// The converter's command line: "<stamp> ARCHIVE|NOARCHIVE [off]".
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "archive/stamp.h"

namespace pictrex {

struct Invocation {
    archive::Stamp stamp;
    bool archive = false;
    bool cameraOff = false;
};

// The invocation the words after the program name ask for, or nothing when they don't form one.
std::optional<Invocation> ParseArguments(const std::vector<std::string>& words);

inline constexpr const char* kUsageLine = "usage: pictrex <14-digit stamp> ARCHIVE|NOARCHIVE [off]";

}  // namespace pictrex
