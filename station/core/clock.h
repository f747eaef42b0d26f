// Calendar time for the capture station: the current time in whole seconds and its local-time
// breakdown (for the picture stamp).
#pragma once

#include <cstdint>
#include <ctime>

namespace tessel {

class Clock {
public:
    virtual ~Clock() = default;
    // Seconds since the epoch, like time().
    virtual int64_t Now() const = 0;
    // The local time of `seconds`, like localtime().
    virtual std::tm LocalTime(int64_t seconds) const = 0;
};

}  // namespace tessel
