// A scratch directory for the upload tests, removed afterwards, with small file helpers.
#pragma once

#include <filesystem>
#include <string>

namespace tessel::testing {

class ScratchDirectory {
public:
    ScratchDirectory();
    ~ScratchDirectory();
    ScratchDirectory(const ScratchDirectory&) = delete;
    ScratchDirectory& operator=(const ScratchDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

private:
    std::filesystem::path path_;
};

// Writes `bytes` to `file`, creating its folders.
void WriteFile(const std::filesystem::path& file, const std::string& bytes);
// The whole file, or "" when it cannot be read.
std::string ReadFile(const std::filesystem::path& file);
// `size` bytes that differ with `seed`, starting with a JPEG marker so they look like a picture.
std::string PictureBytes(std::size_t size, unsigned seed);

}  // namespace tessel::testing
