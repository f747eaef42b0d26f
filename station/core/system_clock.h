// The real calendar clock.
#pragma once

#include "clock.h"

namespace tessel {

class SystemClock final : public Clock {
public:
    int64_t Now() const override;
    std::tm LocalTime(int64_t seconds) const override;
};

}  // namespace tessel
