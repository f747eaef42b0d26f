#include "image_file.h"

#include <cerrno>
#include <cstring>
#include <utility>

#include <sys/stat.h>
#include <unistd.h>

#include "caption_file.h"

namespace tessel {

ImageFile::ImageFile(std::string name) : name_(std::move(name))
{
    try {
        directory_ = WebDirectory::Open(".");
        directory_->RemoveRegularFile(name_);  // a picture taken earlier in the same second
        file_ = directory_->OpenForWriting(name_, WriteMode::CreateNew);
    } catch (const FileError& error) {
        refusedLink_ = IsLink(name_);
        error_ = error.what();
    }
}

ImageFile::~ImageFile()
{
    if (file_.valid()) {
        file_.Close();
        Remove();
    }
}

void ImageFile::Remove()
{
    try {
        directory_->RemoveRegularFile(name_);
    } catch (const FileError&) {
        // Replaced by something else meanwhile: not ours to remove.
    }
}

bool ImageFile::WriteAndClose(const uint8_t* data, std::size_t size)
{
    bool written = true;
    while (size > 0 && written) {
        const ssize_t n = ::write(file_.get(), data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        written = n > 0;
        if (written) {
            data += n;
            size -= static_cast<std::size_t>(n);
        } else {
            error_ = name_ + ": cannot write: " + (n < 0 ? std::strerror(errno) : "nothing written");
        }
    }
    const bool closed = file_.Close();
    if (written && !closed) {
        error_ = name_ + ": cannot close: " + std::strerror(errno);
    }
    if (!written || !closed) {
        Remove();
        return false;
    }
    return true;
}

}  // namespace tessel
