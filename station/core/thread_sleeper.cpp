#include "thread_sleeper.h"

#include <chrono>
#include <thread>

namespace tessel {

void ThreadSleeper::Sleep(uint32_t milliseconds)
{
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
}

}  // namespace tessel
