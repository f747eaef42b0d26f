#include "capture_window.h"

#include <algorithm>

#include "sun_crossing.h"

namespace tessel::schedule {

CaptureWindow::CaptureWindow(std::optional<ClockHours> hours, std::optional<DaylightRule> daylight,
                             int64_t searchHorizonSeconds)
    : hours_(hours), daylight_(daylight), searchHorizonSeconds_(searchHorizonSeconds)
{
}

bool CaptureWindow::Allows(int64_t epochSeconds) const
{
    return (!hours_ || WithinClockHours(*hours_, epochSeconds)) &&
           (!daylight_ || SunAbove(daylight_->place, daylight_->sunAltitude, epochSeconds));
}

std::optional<int64_t> CaptureWindow::NextDaylightChange(int64_t epochSeconds, int64_t until) const
{
    return NextSunCrossing(daylight_->place, daylight_->sunAltitude, epochSeconds, until);
}

std::optional<int64_t> CaptureWindow::CurrentWindowEnd(int64_t epochSeconds) const
{
    if (!Allows(epochSeconds)) {
        return epochSeconds;
    }
    const int64_t until = epochSeconds + searchHorizonSeconds_;
    std::optional<int64_t> end;
    if (hours_) {
        end = NextClockHoursChange(*hours_, epochSeconds);
    }
    if (daylight_) {
        if (const auto sunEnd = NextDaylightChange(epochSeconds, until)) {
            end = end ? std::min(*end, *sunEnd) : *sunEnd;
        }
    }
    if (end && *end > until) {
        return std::nullopt;
    }
    return end;
}

std::optional<WindowStart> CaptureWindow::NextWindowStart(int64_t epochSeconds) const
{
    const int64_t until = epochSeconds + searchHorizonSeconds_;
    const auto windowEnd = CurrentWindowEnd(epochSeconds);
    if (!windowEnd) {
        return std::nullopt;
    }
    // Each pass moves to the latest instant at which a rule that forbids capture now opens; no
    // picture is allowed before it. There the other rule may have closed again: go on from there.
    int64_t at = *windowEnd;
    WindowRule lastToOpen = WindowRule::daylight;
    while (at <= until) {
        const bool hoursOpen = !hours_ || WithinClockHours(*hours_, at);
        const bool sunOpen = !daylight_ || SunAbove(daylight_->place, daylight_->sunAltitude, at);
        if (hoursOpen && sunOpen) {
            return WindowStart{at, lastToOpen};
        }
        int64_t next = at;
        if (!sunOpen) {
            const auto sunrise = NextDaylightChange(at, until);
            if (!sunrise) {
                return std::nullopt;
            }
            next = *sunrise;
            lastToOpen = WindowRule::daylight;
        }
        if (!hoursOpen) {
            const auto opening = NextClockHoursChange(*hours_, at);
            if (!opening) {
                return std::nullopt;
            }
            if (*opening > next) {
                next = *opening;
                lastToOpen = WindowRule::hours;
            }
        }
        at = next;
    }
    return std::nullopt;
}

}  // namespace tessel::schedule
