// Reading a small file whole, with a ceiling on its size so that a huge or endless file planted in
// its place cannot exhaust memory.
#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>
#include <string>

namespace pictrex {

// The contents of `file`, or nothing when it cannot be opened or holds more than `limit` bytes.
std::optional<std::string> ReadFileUpTo(const std::filesystem::path& file, std::size_t limit);

}  // namespace pictrex
