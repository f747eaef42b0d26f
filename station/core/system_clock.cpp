#include "system_clock.h"

namespace tessel {

int64_t SystemClock::Now() const
{
    return static_cast<int64_t>(std::time(nullptr));
}

std::tm SystemClock::LocalTime(int64_t seconds) const
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    return local;
}

}  // namespace tessel
