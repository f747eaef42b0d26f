#include "image_file.h"

#include <utility>

namespace tessel {

ImageFile::ImageFile(std::string name) : name_(std::move(name)), file_(std::fopen(name_.c_str(), "wb")) {}

ImageFile::~ImageFile()
{
    if (file_ != nullptr) {
        std::fclose(file_);
        std::remove(name_.c_str());
    }
}

bool ImageFile::WriteAndClose(const uint8_t* data, std::size_t size)
{
    const bool written = std::fwrite(data, 1, size, file_) == size;
    const bool closed = std::fclose(std::exchange(file_, nullptr)) == 0;
    if (!written || !closed) {
        std::remove(name_.c_str());
        return false;
    }
    return true;
}

}  // namespace tessel
