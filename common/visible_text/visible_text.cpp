#include "visible_text.h"

namespace tessel {

std::string VisibleText(std::string_view text) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string visible;
    visible.reserve(text.size());
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            visible += "\\x";
            visible += kDigits[byte >> 4];
            visible += kDigits[byte & 0xF];
        } else {
            visible += c;
        }
    }
    return visible;
}

std::string VisibleExcerpt(std::string_view text, std::size_t longest) {
    if (text.size() <= longest) return VisibleText(text);
    return VisibleText(text.substr(0, longest)) + "...";
}

}  // namespace tessel
