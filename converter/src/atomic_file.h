// Writing files so that readers see either the old or the new contents, never a mix, and
// serialising the converter's runs on one web directory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <span>
#include <stdexcept>
#include <string>

namespace pictrex {

struct FileError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Writes `contents` to a temporary file beside `target`, then renames it over `target`.
// Throws FileError (and leaves no temporary file behind) when any step fails.
void WriteFileAtomically(const std::filesystem::path& target, std::span<const uint8_t> contents);
void WriteFileAtomically(const std::filesystem::path& target, const std::string& contents);

// An exclusive lock on a lock file, held until destruction; waits while another run holds it.
class DirectoryLock {
public:
    explicit DirectoryLock(const std::filesystem::path& lockFile);  // throws FileError
    ~DirectoryLock();
    DirectoryLock(const DirectoryLock&) = delete;
    DirectoryLock& operator=(const DirectoryLock&) = delete;

private:
    int descriptor_;
};

}  // namespace pictrex
