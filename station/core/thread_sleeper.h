// Real pauses: sleeps on the calling thread.
#pragma once

#include "sleeper.h"

namespace tessel {

class ThreadSleeper final : public Sleeper {
public:
    void Sleep(uint32_t milliseconds) override;
};

}  // namespace tessel
