#include "file_descriptor.h"

#include <unistd.h>

namespace tessel {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        if (descriptor_ >= 0) ::close(descriptor_);
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor() {
    if (descriptor_ >= 0) ::close(descriptor_);
}

bool FileDescriptor::Close() {
    if (descriptor_ < 0) return true;
    return ::close(std::exchange(descriptor_, -1)) == 0;
}

}  // namespace tessel
