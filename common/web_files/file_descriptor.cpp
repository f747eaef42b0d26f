#include "file_descriptor.h"

#include <unistd.h>

namespace tessel {

FileDescriptor& FileDescriptor::operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
        Close();
        descriptor_ = std::exchange(other.descriptor_, -1);
    }
    return *this;
}

FileDescriptor::~FileDescriptor() { Close(); }

bool FileDescriptor::Close() {
    if (descriptor_ < 0) return true;
    // Linux releases the descriptor even when close reports an error: never retry it.
    const bool closed = ::close(std::exchange(descriptor_, -1)) == 0;
    return closed;
}

}  // namespace tessel
