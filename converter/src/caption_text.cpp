#include "caption_text.h"

#include <algorithm>
#include <string_view>

namespace pictrex {

CaptionText ReadCaption(const tessel::WebDirectory& directory) {
    const tessel::FileRead read = directory.Read(kCaptionName, kLargestCaptionFile);
    if (!read.ok) return {"", read.missing ? "" : read.error};
    const std::string_view text(read.bytes);
    return {std::string(text.substr(0, std::min(text.find_first_of("\r\n"), kLongestCaption))), ""};
}

}  // namespace pictrex
