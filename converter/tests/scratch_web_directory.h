// A scratch web directory for the converter's tests, removed afterwards.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "imaging/image.h"
#include "rawformat/raw_layout.h"

namespace pictrex::testing {

class WebDirectory {
public:
    WebDirectory();
    ~WebDirectory();
    WebDirectory(const WebDirectory&) = delete;
    WebDirectory& operator=(const WebDirectory&) = delete;

    const std::filesystem::path& path() const { return path_; }
    std::filesystem::path operator/(const std::string& name) const { return path_ / name; }

    void Write(const std::string& name, const std::vector<uint8_t>& bytes) const;
    void Write(const std::string& name, const std::string& text) const;
    std::vector<uint8_t> Read(const std::string& name) const;
    std::string ReadText(const std::string& name) const;
    bool Has(const std::string& name) const { return std::filesystem::exists(path_ / name); }
    // The names of the directory's entries (one level), sorted.
    std::vector<std::string> Listing(const std::string& subdirectory = "") const;

    // Stores the patch scene as image<stamp>.dc2, as the station does.
    std::string StorePicture(const std::string& stamp, rawformat::Resolution resolution = rawformat::Resolution::High) const;

private:
    std::filesystem::path path_;
};

// Mean of all components of a picture.
double MeanLevel(const imaging::Image& image);

}  // namespace pictrex::testing
