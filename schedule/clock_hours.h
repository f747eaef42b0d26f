// Set hours of the local clock, such as 08:00-18:00 or 22:00-02:00 (past midnight).
//
// An instant is within the hours when the local wall clock of the process's time zone (TZ, as
// localtime_r sees it) reads a time from the start up to, not including, the end. This one rule
// settles the summer-time change days:
//  - 08:00-18:00 starts at 08:00 local time on both sides of a change;
//  - a start or end that the clock skips (02:30 when it jumps from 02:00 to 03:00) takes effect
//    at the jump: 02:30-06:00 starts at 03:00 that day, 22:00-02:30 ends at 03:00;
//  - a time the clock reads twice (02:30 when it goes back from 03:00 to 02:00) takes effect
//    both times: 22:00-02:30 ends at the first 02:30, opens again when the clock goes back to
//    02:00 and ends at the second 02:30.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tessel::schedule {

struct ClockHours {
    int startMinute = 0;  // minutes after local midnight, 0 … 1439
    int endMinute = 0;    // the same; differs from startMinute

    bool operator==(const ClockHours&) const = default;
};

// Whether the local clock reads a time within `hours` at `epochSeconds`.
bool WithinClockHours(const ClockHours& hours, int64_t epochSeconds);

// The first second after `epochSeconds` at which WithinClockHours changes: the next start or end.
// Nothing only for a time zone that changes its offset more than a few times in two days.
std::optional<int64_t> NextClockHoursChange(const ClockHours& hours, int64_t epochSeconds);

// "HH:MM-HH:MM", the form the settings take.
std::string FormatClockHours(const ClockHours& hours);

}  // namespace tessel::schedule
