#include "clock_hours.h"

#include <cstdio>
#include <ctime>

namespace tessel::schedule {
namespace {

constexpr int64_t kSecondsPerDay = 86400;
// Each pass of the search either finds the change or steps over one change of the clock's offset;
// real zones change their offset at most twice in the two days a change can be away.
constexpr int kMostPasses = 8;

std::tm LocalTime(int64_t epochSeconds)
{
    const std::time_t moment = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    localtime_r(&moment, &local);
    return local;
}

int64_t SecondOfLocalDay(int64_t epochSeconds)
{
    const std::tm local = LocalTime(epochSeconds);
    return local.tm_hour * int64_t{3600} + local.tm_min * int64_t{60} + local.tm_sec;
}

long UtcOffset(int64_t epochSeconds)
{
    return LocalTime(epochSeconds).tm_gmtoff;
}

bool WithinMinutes(const ClockHours& hours, int64_t secondOfDay)
{
    const int64_t start = hours.startMinute * int64_t{60};
    const int64_t end = hours.endMinute * int64_t{60};
    if (start < end) {
        return secondOfDay >= start && secondOfDay < end;
    }
    return secondOfDay >= start || secondOfDay < end;
}

// The first second in (`before`, `after`] with another UTC offset than `before`, given that
// `after` has one.
int64_t OffsetChange(int64_t before, int64_t after)
{
    const long offset = UtcOffset(before);
    while (after - before > 1) {
        const int64_t middle = before + (after - before) / 2;
        (UtcOffset(middle) == offset ? before : after) = middle;
    }
    return after;
}

}  // namespace

bool WithinClockHours(const ClockHours& hours, int64_t epochSeconds)
{
    return WithinMinutes(hours, SecondOfLocalDay(epochSeconds));
}

std::optional<int64_t> NextClockHoursChange(const ClockHours& hours, int64_t epochSeconds)
{
    const bool within = WithinClockHours(hours, epochSeconds);
    const int64_t target = (within ? hours.endMinute : hours.startMinute) * int64_t{60};
    int64_t from = epochSeconds;
    for (int pass = 0; pass < kMostPasses; ++pass) {
        // Where the clock would read `target` if it kept its offset; when it changes the offset
        // first, the change itself may open or close the hours, else the search goes on from it.
        int64_t wait = (target - SecondOfLocalDay(from)) % kSecondsPerDay;
        if (wait <= 0) {
            wait += kSecondsPerDay;
        }
        const int64_t candidate = from + wait;
        if (UtcOffset(candidate) == UtcOffset(from)) {
            return candidate;
        }
        from = OffsetChange(from, candidate);
        if (WithinClockHours(hours, from) != within) {
            return from;
        }
    }
    return std::nullopt;
}

std::string FormatClockHours(const ClockHours& hours)
{
    char text[48];  // room for any int, though the minutes stay below 1440
    std::snprintf(text, sizeof text, "%02d:%02d-%02d:%02d", hours.startMinute / 60, hours.startMinute % 60,
                  hours.endMinute / 60, hours.endMinute % 60);
    return text;
}

}  // namespace tessel::schedule
