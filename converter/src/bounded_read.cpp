#include "bounded_read.h"

#include <fstream>

namespace pictrex {

std::optional<std::string> ReadFileUpTo(const std::filesystem::path& file, std::size_t limit) {
    std::ifstream in(file, std::ios::binary);
    if (!in) return std::nullopt;
    // Read in pieces, so that the cost follows the file's size, not the ceiling.
    constexpr std::size_t kPiece = 64 * 1024;
    std::string text;
    while (in && text.size() <= limit) {
        const std::size_t had = text.size();
        text.resize(had + kPiece);
        in.read(text.data() + had, static_cast<std::streamsize>(kPiece));
        text.resize(had + static_cast<std::size_t>(in.gcount()));
    }
    if (in.bad() || text.size() > limit) return std::nullopt;
    return text;
}

}  // namespace pictrex
