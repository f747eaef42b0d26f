// The pauses of the capture cycle: blocks the calling thread for a while.
#pragma once

#include <cstdint>

namespace tessel {

class Sleeper {
public:
    virtual ~Sleeper() = default;
    virtual void Sleep(uint32_t milliseconds) = 0;
};

}  // namespace tessel
