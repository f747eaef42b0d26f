// The caption the station leaves in `message.txt` for the banner.
#pragma once

#include <cstddef>
#include <string>

#include "web_directory.h"

namespace pictrex {

inline constexpr const char* kCaptionName = "message.txt";
// The station writes at most 32 767 characters; anything larger is not its caption.
inline constexpr std::size_t kLargestCaptionFile = 128 * 1024;
// Only the start of the first line can show on the banner.
inline constexpr std::size_t kLongestCaption = 4096;

struct CaptionText {
    std::string text;     // the first line, at most kLongestCaption bytes; "" when there is none
    std::string problem;  // why the file was refused ("" when it was read or is missing)
};

// The caption in the directory's message.txt. A link, FIFO, device or a file larger than
// kLargestCaptionFile gives no caption and a problem to log.
CaptionText ReadCaption(const tessel::WebDirectory& directory);

}  // namespace pictrex
