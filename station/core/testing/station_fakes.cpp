#include "station_fakes.h"

namespace tessel::testing {

std::tm FakeClock::LocalTime(int64_t seconds) const
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&time, &utc);
    return utc;
}

void RecordingSleeper::Sleep(uint32_t milliseconds)
{
    pauses.push_back(milliseconds);
    if (onSleep) {
        onSleep(milliseconds);
    }
}

void RecordingTimer::Arm(uint32_t id, uint32_t milliseconds)
{
    events.push_back({true, id, milliseconds});
    if (id == kCaptureTimerId) {
        pending = milliseconds;
    }
}

void RecordingTimer::Kill(uint32_t id)
{
    events.push_back({false, id, 0});
    if (id == kCaptureTimerId) {
        pending.reset();
    }
}

}  // namespace tessel::testing

namespace tessel::testing {

std::unique_ptr<uint8_t[]> ScriptedAllocator::Allocate(uint32_t size)
{
    requests.push_back(size);
    if (failing) {
        return nullptr;
    }
    return std::make_unique<uint8_t[]>(size);
}

}  // namespace tessel::testing
