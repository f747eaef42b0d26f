// Text from outside (settings lines, file names, captions) made safe for a log line.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace tessel {

// `text` with every control byte (below 0x20, and 0x7F) written as a visible escape such as
// "\x1b", so that terminal escape sequences or line breaks in it cannot forge or hide log lines.
std::string VisibleText(std::string_view text);

// VisibleText of at most the first `longest` bytes of `text`, with "..." when it was cut.
std::string VisibleExcerpt(std::string_view text, std::size_t longest);

}  // namespace tessel
