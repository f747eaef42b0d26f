#include "file_descriptor.h"

#include <cerrno>

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

bool WriteAll(int descriptor, std::span<const uint8_t> bytes) {
    const uint8_t* data = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        const ssize_t written = ::write(descriptor, data, left);
        if (written < 0) {
            if (errno == EINTR) continue;
            return false;
        }
        data += written;
        left -= static_cast<std::size_t>(written);
    }
    return true;
}

}  // namespace tessel
