#include "buffer_allocator.h"

#include <new>

namespace tessel {
namespace {

class Heap final : public BufferAllocator {
public:
    std::unique_ptr<uint8_t[]> Allocate(uint32_t size) override
    {
        return std::unique_ptr<uint8_t[]>(new (std::nothrow) uint8_t[size]);
    }
};

}  // namespace

BufferAllocator& HeapBufferAllocator()
{
    static Heap heap;
    return heap;
}

}  // namespace tessel
