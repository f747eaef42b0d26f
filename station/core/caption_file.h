// The caption file "message.txt" in the current directory, which the converter puts on the
// web image.
#pragma once

#include <string>

namespace tessel {

inline constexpr const char* kCaptionFileName = "message.txt";

// Creates or truncates the caption file and writes `text` into it, nothing added. A file that
// cannot be opened is silently skipped.
void WriteCaptionFile(const std::string& text);

}  // namespace tessel
