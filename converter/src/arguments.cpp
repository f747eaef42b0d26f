#include "arguments.h"

namespace pictrex {

std::optional<Invocation> ParseArguments(const std::vector<std::string>& words) {
    if (words.size() < 2 || words.size() > 3) return std::nullopt;
    const std::optional<archive::Stamp> stamp = archive::Stamp::Parse(words[0]);
    if (!stamp) return std::nullopt;
    if (words[1] != "ARCHIVE" && words[1] != "NOARCHIVE") return std::nullopt;
    if (words.size() == 3 && words[2] != "off") return std::nullopt;
    return Invocation{*stamp, words[1] == "ARCHIVE", words.size() == 3};
}

}  // namespace pictrex
