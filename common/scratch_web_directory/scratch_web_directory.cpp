#include "scratch_web_directory.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <stdexcept>

#include <stdlib.h>

namespace tessel::testing {

ScratchWebDirectory::ScratchWebDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "tessel-scratch-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

ScratchWebDirectory::~ScratchWebDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void ScratchWebDirectory::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void ScratchWebDirectory::Write(const std::string& name, const std::string& text) const {
    Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> ScratchWebDirectory::Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string ScratchWebDirectory::ReadText(const std::string& name) const {
    const auto bytes = Read(name);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> ScratchWebDirectory::Listing(const std::string& subdirectory) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path_ / subdirectory, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

}  // namespace tessel::testing
