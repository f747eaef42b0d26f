// The caption file "message.txt" in the current directory, which the converter puts on the
// web image.
#pragma once

#include <string>

namespace tessel {

inline constexpr const char* kCaptionFileName = "message.txt";

enum class CaptionWrite { Written, Failed, RefusedLink };

// Creates or truncates the caption file and writes `text` into it, nothing added. The file is
// never opened through a link or as anything but a regular file: a symbolic link under its name
// is refused (RefusedLink) and left alone.
CaptionWrite WriteCaptionFile(const std::string& text);

// Whether `name` in the current directory is a symbolic link.
bool IsLink(const std::string& name);

}  // namespace tessel
