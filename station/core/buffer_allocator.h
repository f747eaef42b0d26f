// Where the capture cycle gets its download buffer from.
#pragma once

#include <cstdint>
#include <memory>

namespace tessel {

class BufferAllocator {
public:
    virtual ~BufferAllocator() = default;
    // A buffer of `size` bytes, or null when no memory is available.
    virtual std::unique_ptr<uint8_t[]> Allocate(uint32_t size) = 0;
};

// The heap; a process-wide instance that never throws.
BufferAllocator& HeapBufferAllocator();

}  // namespace tessel
