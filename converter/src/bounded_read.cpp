#include "bounded_read.h"

#include <fstream>

namespace pictrex {

std::optional<std::string> ReadFileUpTo(const std::filesystem::path& file, std::size_t limit) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    std::string text(limit + 1, '\0');
    in.read(text.data(), static_cast<std::streamsize>(text.size()));
    if (in.bad()) return std::nullopt;
    text.resize(static_cast<std::size_t>(in.gcount()));
    if (text.size() > limit) return std::nullopt;
    return text;
}

}  // namespace pictrex
