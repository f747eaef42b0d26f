#include "scratch_web_directory.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <numeric>
#include <stdexcept>

#include <stdlib.h>

#include "scenes.h"

namespace pictrex::testing {

WebDirectory::WebDirectory() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pictrex-test-XXXXXX").string();
    if (!::mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    path_ = pattern;
}

WebDirectory::~WebDirectory() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void WebDirectory::Write(const std::string& name, const std::vector<uint8_t>& bytes) const {
    std::ofstream out(path_ / name, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

void WebDirectory::Write(const std::string& name, const std::string& text) const {
    Write(name, std::vector<uint8_t>(text.begin(), text.end()));
}

std::vector<uint8_t> WebDirectory::Read(const std::string& name) const {
    std::ifstream in(path_ / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::string WebDirectory::ReadText(const std::string& name) const {
    const auto bytes = Read(name);
    return {bytes.begin(), bytes.end()};
}

std::vector<std::string> WebDirectory::Listing(const std::string& subdirectory) const {
    std::vector<std::string> names;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path_ / subdirectory, error)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

std::string WebDirectory::StorePicture(const std::string& stamp, rawformat::Resolution resolution) const {
    const std::string name = "image" + stamp + ".dc2";
    Write(name, PatchPicture(resolution));
    return name;
}

double MeanLevel(const imaging::Image& image) {
    return std::accumulate(image.rgb.begin(), image.rgb.end(), 0.0) / static_cast<double>(image.rgb.size());
}

}  // namespace pictrex::testing
