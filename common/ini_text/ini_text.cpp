#include "ini_text.h"

namespace tessel {

std::string_view TrimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(" \t\r");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t\r") - first + 1);
}

bool IniLines::Next() {
    while (!rest_.empty()) {
        const auto end = rest_.find('\n');
        line_ = TrimBlanks(rest_.substr(0, end));
        rest_ = end == std::string_view::npos ? std::string_view{} : rest_.substr(end + 1);
        ++lineNumber_;
        if (!line_.empty() && line_[0] != '#' && line_[0] != ';') return true;
    }
    line_ = {};
    return false;
}

std::optional<IniKeyValue> SplitKeyValue(std::string_view line) {
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) return std::nullopt;
    return IniKeyValue{TrimBlanks(line.substr(0, equals)), TrimBlanks(line.substr(equals + 1))};
}

std::optional<bool> YesOrNo(std::string_view value) {
    for (std::string_view yes : {"yes", "true", "on", "1"}) {
        if (value == yes) return true;
    }
    for (std::string_view no : {"no", "false", "off", "0"}) {
        if (value == no) return false;
    }
    return std::nullopt;
}

}  // namespace tessel
