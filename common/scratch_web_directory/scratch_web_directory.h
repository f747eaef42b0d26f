// A scratch web directory for tests, removed afterwards, with small file helpers.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace tessel::testing {

class ScratchWebDirectory {
public:
    ScratchWebDirectory();
    ~ScratchWebDirectory();
    ScratchWebDirectory(const ScratchWebDirectory&) = delete;
    ScratchWebDirectory& operator=(const ScratchWebDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    void Write(const std::string& name, const std::string& text) const;
    std::vector<uint8_t> Read(const std::string& name) const;
    std::string ReadText(const std::string& name) const;
    bool Has(const std::string& name) const { return std::filesystem::exists(path_ / name); }
    // The names of the directory's entries (one level), sorted.
    std::vector<std::string> Listing(const std::string& subdirectory = "") const;

private:
    std::filesystem::path path_;
};

}  // namespace tessel::testing
