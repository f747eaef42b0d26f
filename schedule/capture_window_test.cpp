// The combined capture window with instants given by the test and the time zone set by it.
#include "capture_window.h"

#include <cstdlib>

#include <gtest/gtest.h>

#include "time_zone_fixture.h"

namespace tessel::schedule {
namespace {

using testing::Local;
using testing::LocalText;
using testing::ScopedTimeZone;
using testing::Utc;

constexpr int64_t kMinute = 60;
constexpr int64_t kDay = 86400;
constexpr int64_t kTolerance = 2 * kMinute;

constexpr Place kBerlin{52.52, 13.405};
constexpr Place kSydney{-33.8688, 151.2093};
constexpr Place kBarrow{71.2906, -156.7887};

constexpr ClockHours Hours(int startHour, int startMinute, int endHour, int endMinute)
{
    return ClockHours{startHour * 60 + startMinute, endHour * 60 + endMinute};
}

// A window that opens at `start` opens there to the second.
void ExpectOpensAt(const CaptureWindow& window, int64_t start)
{
    EXPECT_FALSE(window.Allows(start - 1)) << LocalText(start - 1);
    EXPECT_TRUE(window.Allows(start)) << LocalText(start);
}

// Waiting at `night` ends with the daylight between `earliest` and `latest`.
void ExpectDawnBetween(const CaptureWindow& window, int64_t night, int64_t earliest, int64_t latest)
{
    EXPECT_FALSE(window.Allows(night));
    const auto dawn = window.NextWindowStart(night);
    ASSERT_TRUE(dawn);
    EXPECT_EQ(dawn->waitingFor, WindowRule::daylight);
    EXPECT_GT(dawn->epochSeconds, earliest) << LocalText(dawn->epochSeconds);
    EXPECT_LT(dawn->epochSeconds, latest) << LocalText(dawn->epochSeconds);
    ExpectOpensAt(window, dawn->epochSeconds);
}

TEST(CaptureWindow, WithoutRulesAlwaysAllows)
{
    const CaptureWindow window(std::nullopt, std::nullopt);
    const int64_t at = Utc(2026, 1, 1, 3, 0);
    EXPECT_TRUE(window.Allows(at));
    EXPECT_EQ(window.CurrentWindowEnd(at), std::nullopt);
    EXPECT_EQ(window.NextWindowStart(at), std::nullopt);
}

// Berlin on the winter solstice of 2019: sunrise 08:14:38, sunset 15:54:41 CET (Stiftung
// Planetarium Berlin).
TEST(CaptureWindow, EntersAndLeavesTheDaylight)
{
    const ScopedTimeZone zone("Europe/Berlin");
    const CaptureWindow window(std::nullopt, DaylightRule{kBerlin, -0.833});
    const int64_t night = Local(2019, 12, 21, 3, 0);
    EXPECT_FALSE(window.Allows(night));
    EXPECT_EQ(window.CurrentWindowEnd(night), night);
    const auto start = window.NextWindowStart(night);
    ASSERT_TRUE(start);
    EXPECT_EQ(start->waitingFor, WindowRule::daylight);
    EXPECT_LE(std::llabs(start->epochSeconds - Local(2019, 12, 21, 8, 14, 38)), kTolerance) << LocalText(start->epochSeconds);
    ExpectOpensAt(window, start->epochSeconds);

    const int64_t noon = Local(2019, 12, 21, 12, 0);
    EXPECT_TRUE(window.Allows(noon));
    const auto end = window.CurrentWindowEnd(noon);
    ASSERT_TRUE(end);
    EXPECT_LE(std::llabs(*end - Local(2019, 12, 21, 15, 54, 41)), kTolerance) << LocalText(end);
    EXPECT_TRUE(window.Allows(*end - 1));
    EXPECT_FALSE(window.Allows(*end));
    // Inside a window the next one is tomorrow's.
    const auto tomorrow = window.NextWindowStart(noon);
    ASSERT_TRUE(tomorrow);
    EXPECT_LE(std::llabs(tomorrow->epochSeconds - Local(2019, 12, 22, 8, 15, 0)), kTolerance) << LocalText(tomorrow->epochSeconds);
}

TEST(CaptureWindow, HoursWrapPastMidnight)
{
    const ScopedTimeZone zone("America/New_York");
    const CaptureWindow window(Hours(22, 0, 2, 0), std::nullopt);
    const int64_t afternoon = Local(2026, 1, 15, 15, 0);
    EXPECT_FALSE(window.Allows(afternoon));
    EXPECT_EQ(window.NextWindowStart(afternoon), (WindowStart{Local(2026, 1, 15, 22, 0), WindowRule::hours}));
    const int64_t lateEvening = Local(2026, 1, 15, 23, 30);
    EXPECT_TRUE(window.Allows(lateEvening));
    EXPECT_EQ(window.CurrentWindowEnd(lateEvening), Local(2026, 1, 16, 2, 0));
    EXPECT_EQ(window.NextWindowStart(lateEvening), (WindowStart{Local(2026, 1, 16, 22, 0), WindowRule::hours}));
}

// Both rules: the window is where both allow, and the wait is for the rule that opens last.
// In Berlin civil twilight begins about 03:53 CEST in June and 07:33 CET in December and ends
// about 22:24 CEST and 16:36 CET.
TEST(CaptureWindow, BothRulesAllowOnlyTogether)
{
    const ScopedTimeZone zone("Europe/Berlin");
    const CaptureWindow window(Hours(6, 0, 20, 0), DaylightRule{kBerlin, -6});

    const int64_t summerNight = Local(2025, 6, 21, 1, 0);
    EXPECT_EQ(window.NextWindowStart(summerNight), (WindowStart{Local(2025, 6, 21, 6, 0), WindowRule::hours}));
    EXPECT_FALSE(window.Allows(Local(2025, 6, 21, 5, 0)));  // light, but before the hours
    EXPECT_EQ(window.CurrentWindowEnd(Local(2025, 6, 21, 12, 0)), Local(2025, 6, 21, 20, 0));
    EXPECT_FALSE(window.Allows(Local(2025, 6, 21, 21, 0)));  // light, but after the hours

    ExpectDawnBetween(window, Local(2025, 12, 21, 1, 0), Local(2025, 12, 21, 7, 15), Local(2025, 12, 21, 7, 55));
    EXPECT_FALSE(window.Allows(Local(2025, 12, 21, 6, 30)));  // within the hours, but dark
    const auto dusk = window.CurrentWindowEnd(Local(2025, 12, 21, 12, 0));
    ASSERT_TRUE(dusk);
    EXPECT_GT(*dusk, Local(2025, 12, 21, 16, 15)) << LocalText(dusk);
    EXPECT_LT(*dusk, Local(2025, 12, 21, 16, 55)) << LocalText(dusk);
}

// Berlin moves its clocks from 02:00 CET to 03:00 CEST on 29 Mar 2026: the hours open at 08:00
// local time on both days, after civil dawn (about 05:16 CET on the 28th, 06:14 CEST on the 29th).
TEST(CaptureWindow, KeepsLocalHoursOverASummerTimeChange)
{
    const ScopedTimeZone zone("Europe/Berlin");
    const CaptureWindow window(Hours(8, 0, 18, 0), DaylightRule{kBerlin, -6});
    EXPECT_EQ(window.NextWindowStart(Local(2026, 3, 28, 3, 0)),
              (WindowStart{Utc(2026, 3, 28, 7, 0), WindowRule::hours}));
    EXPECT_EQ(window.NextWindowStart(Local(2026, 3, 28, 20, 0)),
              (WindowStart{Utc(2026, 3, 29, 6, 0), WindowRule::hours}));
    EXPECT_EQ(window.CurrentWindowEnd(Local(2026, 3, 29, 12, 0)), Utc(2026, 3, 29, 16, 0));
}

// One minute of hours, less than one capture interval (30 to 90 s): the window still opens and
// closes on time, so the first picture at its start is taken, and the next wait is a day.
TEST(CaptureWindow, WindowShorterThanOneInterval)
{
    const ScopedTimeZone zone("UTC");
    const CaptureWindow window(Hours(12, 0, 12, 1), std::nullopt);
    const auto start = window.NextWindowStart(Utc(2026, 5, 1, 11, 59, 30));
    ASSERT_TRUE(start);
    EXPECT_EQ(start->epochSeconds, Utc(2026, 5, 1, 12, 0));
    EXPECT_EQ(window.CurrentWindowEnd(start->epochSeconds), Utc(2026, 5, 1, 12, 1));
    EXPECT_FALSE(window.Allows(start->epochSeconds + 90));
    EXPECT_EQ(window.NextWindowStart(start->epochSeconds)->epochSeconds, Utc(2026, 5, 2, 12, 0));
}

// Started at half past midnight in Sydney in winter: the wait ends at civil dawn, about 06:32 AEST.
TEST(CaptureWindow, StartInTheMiddleOfTheNight)
{
    const ScopedTimeZone zone("Australia/Sydney");
    const CaptureWindow window(std::nullopt, DaylightRule{kSydney, -6});
    ExpectDawnBetween(window, Local(2025, 6, 21, 0, 30), Local(2025, 6, 21, 6, 15), Local(2025, 6, 21, 6, 50));
}

// Barrow's polar night of 2012/13 ends with the sunrise of 22 Jan 2013 at 13:17 AKST (the US
// Naval Observatory): weeks of waiting, then a window of 44 minutes.
TEST(CaptureWindow, PolarNightWaitsWeeks)
{
    const ScopedTimeZone zone("America/Anchorage");
    const DaylightRule sunrise{kBarrow, -0.833};
    const int64_t midwinter = Local(2012, 12, 1, 12, 0);

    const CaptureWindow window(std::nullopt, sunrise);
    EXPECT_FALSE(window.Allows(midwinter));
    const auto start = window.NextWindowStart(midwinter);
    ASSERT_TRUE(start);
    EXPECT_LE(std::llabs(start->epochSeconds - Local(2013, 1, 22, 13, 17)), kTolerance) << LocalText(start->epochSeconds);
    const auto end = window.CurrentWindowEnd(start->epochSeconds);
    ASSERT_TRUE(end);
    EXPECT_LE(std::llabs(*end - Local(2013, 1, 22, 14, 1)), kTolerance) << LocalText(end);

    const CaptureWindow shortSight(std::nullopt, sunrise, 30 * kDay);
    EXPECT_EQ(shortSight.NextWindowStart(midwinter), std::nullopt);
}

// On a midnight-sun day the daylight never closes; the hours still do.
TEST(CaptureWindow, MidnightSun)
{
    const ScopedTimeZone zone("America/Anchorage");
    const DaylightRule sunrise{kBarrow, -0.833};
    const int64_t midsummer = Local(2013, 6, 21, 12, 0);

    const CaptureWindow daylight(std::nullopt, sunrise, 30 * kDay);
    EXPECT_TRUE(daylight.Allows(midsummer));
    EXPECT_EQ(daylight.CurrentWindowEnd(midsummer), std::nullopt);
    EXPECT_EQ(daylight.NextWindowStart(midsummer), std::nullopt);

    const CaptureWindow hours(Hours(10, 0, 14, 0), sunrise);
    EXPECT_EQ(hours.CurrentWindowEnd(midsummer), Local(2013, 6, 21, 14, 0));
    EXPECT_EQ(hours.NextWindowStart(midsummer), (WindowStart{Local(2013, 6, 22, 10, 0), WindowRule::hours}));
}

// Night hours with sunrise-to-sunset daylight never meet in Berlin: the sun sets before 22:00 and
// rises after 02:00 all year. The search gives up at its horizon instead of looping.
TEST(CaptureWindow, HoursThatNeverMeetTheDaylight)
{
    const ScopedTimeZone zone("Europe/Berlin");
    const CaptureWindow window(Hours(22, 0, 2, 0), DaylightRule{kBerlin, -0.833});
    EXPECT_EQ(window.NextWindowStart(Local(2026, 1, 10, 12, 0)), std::nullopt);
}

}  // namespace
}  // namespace tessel::schedule
