// The image file of one picture while it is being stored. It is removed again unless the whole
// picture reached the disk, also when an exception leaves the cycle before the write, so that no
// partial picture is left for the converter.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

namespace tessel {

class ImageFile {
public:
    // Creates or truncates the file (binary).
    explicit ImageFile(std::string name);
    ImageFile(const ImageFile&) = delete;
    ImageFile& operator=(const ImageFile&) = delete;
    ~ImageFile();

    bool IsOpen() const { return file_ != nullptr; }
    // Writes `size` bytes in one piece and closes the file. False when the write or the close
    // failed; the file is then removed.
    bool WriteAndClose(const uint8_t* data, std::size_t size);

private:
    std::string name_;
    std::FILE* file_;  // open until written, or until the destructor removes the file
};

}  // namespace tessel
