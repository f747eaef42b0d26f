// An owned POSIX file descriptor, closed on destruction.
#pragma once

#include <cstdint>
#include <span>
#include <utility>

namespace tessel {

class FileDescriptor {
public:
    FileDescriptor() = default;
    explicit FileDescriptor(int descriptor) : descriptor_(descriptor) {}
    FileDescriptor(FileDescriptor&& other) noexcept : descriptor_(std::exchange(other.descriptor_, -1)) {}
    FileDescriptor& operator=(FileDescriptor&& other) noexcept;
    FileDescriptor(const FileDescriptor&) = delete;
    FileDescriptor& operator=(const FileDescriptor&) = delete;
    ~FileDescriptor();

    int get() const { return descriptor_; }
    bool valid() const { return descriptor_ >= 0; }
    // Closes now; false when close reported an error (for files whose last write matters).
    bool Close();

private:
    int descriptor_ = -1;
};

// Writes all of `bytes` to `descriptor`, going on after partial writes and interruptions; false
// (errno says why) when a write fails.
bool WriteAll(int descriptor, std::span<const uint8_t> bytes);

}  // namespace tessel
