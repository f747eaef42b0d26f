// Set clock hours in real time zones, including the days the clocks change.
#include "clock_hours.h"

#include <ostream>

#include <gtest/gtest.h>

#include "time_zone_fixture.h"

namespace tessel::schedule {
namespace {

using testing::LocalText;
using testing::ScopedTimeZone;
using testing::Utc;

constexpr ClockHours kDay{8 * 60, 18 * 60};             // 08:00-18:00
constexpr ClockHours kNight{22 * 60, 2 * 60};           // 22:00-02:00
constexpr ClockHours kSkippedStart{150, 6 * 60};        // 02:30-06:00
constexpr ClockHours kSkippedEnd{22 * 60, 150};         // 22:00-02:30

struct HoursCase {
    const char* name;
    const char* zone;
    ClockHours hours;
    int64_t at;            // the instant asked about
    bool within;           // expected
    int64_t nextChange;    // expected
};

// Summer time in 2026: Berlin 29 Mar 01:00 UTC (02:00 CET -> 03:00 CEST) and 25 Oct 01:00 UTC
// (03:00 CEST -> 02:00 CET); New York 8 Mar 07:00 UTC (02:00 EST -> 03:00 EDT); Sydney 5 Apr
// 16:00 UTC (03:00 AEDT -> 02:00 AEST) and 3 Oct 16:00 UTC (02:00 AEST -> 03:00 AEDT).
const HoursCase kCases[] = {
    {"before_the_start", "UTC", kDay, Utc(2026, 6, 1, 7, 59, 59), false, Utc(2026, 6, 1, 8, 0)},
    {"inside", "UTC", kDay, Utc(2026, 6, 1, 8, 0), true, Utc(2026, 6, 1, 18, 0)},
    {"at_the_end", "UTC", kDay, Utc(2026, 6, 1, 18, 0), false, Utc(2026, 6, 2, 8, 0)},
    {"summer_time_in_berlin", "Europe/Berlin", kDay, Utc(2026, 6, 1, 5, 0), false, Utc(2026, 6, 1, 6, 0)},
    {"wrap_before_midnight", "America/New_York", kNight, Utc(2026, 1, 15, 4, 0), true, Utc(2026, 1, 15, 7, 0)},
    {"wrap_after_midnight", "America/New_York", kNight, Utc(2026, 1, 15, 6, 59, 59), true, Utc(2026, 1, 15, 7, 0)},
    {"wrap_closed_in_the_day", "America/New_York", kNight, Utc(2026, 1, 15, 7, 0), false, Utc(2026, 1, 16, 3, 0)},
    // 08:00 local on both sides of a change, from the evening before.
    {"berlin_spring_forward", "Europe/Berlin", kDay, Utc(2026, 3, 28, 17, 0), false, Utc(2026, 3, 29, 6, 0)},
    {"berlin_spring_forward_end", "Europe/Berlin", kDay, Utc(2026, 3, 29, 6, 0), true, Utc(2026, 3, 29, 16, 0)},
    {"berlin_fall_back", "Europe/Berlin", kDay, Utc(2026, 10, 24, 16, 0), false, Utc(2026, 10, 25, 7, 0)},
    {"new_york_spring_forward", "America/New_York", kDay, Utc(2026, 3, 7, 23, 0), false, Utc(2026, 3, 8, 12, 0)},
    {"sydney_fall_back", "Australia/Sydney", kDay, Utc(2026, 4, 4, 8, 0), false, Utc(2026, 4, 4, 22, 0)},
    {"sydney_spring_forward", "Australia/Sydney", kDay, Utc(2026, 10, 3, 8, 0), false, Utc(2026, 10, 3, 21, 0)},
    // A start the clock skips (02:30 on 29 Mar in Berlin) opens the hours at the jump, 03:00 CEST.
    {"skipped_start", "Europe/Berlin", kSkippedStart, Utc(2026, 3, 28, 11, 0), false, Utc(2026, 3, 29, 1, 0)},
    // A skipped end closes them at the jump.
    {"skipped_end", "Europe/Berlin", kSkippedEnd, Utc(2026, 3, 28, 22, 0), true, Utc(2026, 3, 29, 1, 0)},
    // A time read twice (02:30 on 25 Oct in Berlin) counts both times: the hours close at
    // 02:30 CEST, open again when the clock goes back to 02:00 CET and close at 02:30 CET.
    {"repeated_end_first", "Europe/Berlin", kSkippedEnd, Utc(2026, 10, 24, 22, 0), true, Utc(2026, 10, 25, 0, 30)},
    {"repeated_end_reopens", "Europe/Berlin", kSkippedEnd, Utc(2026, 10, 25, 0, 30), false, Utc(2026, 10, 25, 1, 0)},
    {"repeated_end_second", "Europe/Berlin", kSkippedEnd, Utc(2026, 10, 25, 1, 0), true, Utc(2026, 10, 25, 1, 30)},
    {"repeated_end_next_evening", "Europe/Berlin", kSkippedEnd, Utc(2026, 10, 25, 1, 30), false, Utc(2026, 10, 25, 21, 0)},
};

void PrintTo(const HoursCase& c, std::ostream* out)
{
    *out << c.name;
}

class ClockHoursChange : public ::testing::TestWithParam<HoursCase> {};

TEST_P(ClockHoursChange, KnowsWithinAndTheNextChange)
{
    const HoursCase& c = GetParam();
    const ScopedTimeZone zone(c.zone);
    EXPECT_EQ(WithinClockHours(c.hours, c.at), c.within) << LocalText(c.at);
    const auto next = NextClockHoursChange(c.hours, c.at);
    EXPECT_EQ(next, c.nextChange) << "found " << LocalText(next) << ", expected " << LocalText(c.nextChange);
    if (next) {
        EXPECT_EQ(WithinClockHours(c.hours, *next - 1), c.within);
        EXPECT_NE(WithinClockHours(c.hours, *next), c.within);
    }
}

INSTANTIATE_TEST_SUITE_P(Zones, ClockHoursChange, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<HoursCase>& info) { return info.param.name; });

TEST(ClockHours, FormatsAsTheSettingsWriteThem)
{
    EXPECT_EQ(FormatClockHours(kDay), "08:00-18:00");
    EXPECT_EQ(FormatClockHours(ClockHours{22 * 60 + 5, 7 * 60 + 42}), "22:05-07:42");
}

}  // namespace
}  // namespace tessel::schedule
