// Start, timer ticks and Stop.
#include <filesystem>
#include <ostream>
#include <vector>

#include "control_ids.h"
#include "station_fixture.h"

namespace tessel::testing {
namespace {

namespace fs = std::filesystem;
using Event = RecordingTimer::Event;

using ScheduleTest = StationTest;

TEST_F(ScheduleTest, StartArmsTheFirstCycleOnly)
{
    view.texts[IDC_STATUS] = "old status";
    view.reads.clear();
    station.OnStart();
    EXPECT_EQ(timer.events, (std::vector<Event>{{true, kCaptureTimerId, 500}}));
    EXPECT_TRUE(view.reads.empty());
    EXPECT_TRUE(view.writes.empty());
    EXPECT_TRUE(fake_dc25::Calls().empty());
}

TEST_F(ScheduleTest, OtherTimerIdsGoToDefaultHandling)
{
    EXPECT_FALSE(station.OnTimer(2));
    EXPECT_FALSE(station.OnTimer(0));
    EXPECT_TRUE(timer.events.empty());
    EXPECT_TRUE(fake_dc25::Calls().empty());
}

struct WaitRow {
    const char* name;
    const char* refreshText;
    int64_t secondsPerPause;  // the clock moves this much at each of the cycle's pauses
    uint32_t wait;
};

void PrintTo(const WaitRow& row, std::ostream* out)
{
    *out << row.name;
}

class NextCycleWaitTest : public StationTest, public ::testing::WithParamInterface<WaitRow> {};

TEST_P(NextCycleWaitTest, TickStopsTimerRunsCycleAndArmsTheRest)
{
    const WaitRow& row = GetParam();
    view.texts[IDC_REFRESH] = row.refreshText;
    sleeper.onSleep = [this, &row](uint32_t) { clock.now += row.secondsPerPause; };

    EXPECT_TRUE(station.OnTimer(kCaptureTimerId));

    EXPECT_EQ(timer.events, (std::vector<Event>{{false, kCaptureTimerId, 0}, {true, kCaptureTimerId, row.wait}}));
    EXPECT_EQ(fake_dc25::Calls().size(), 7u);
}

INSTANTIATE_TEST_SUITE_P(
    Waits, NextCycleWaitTest,
    ::testing::Values(WaitRow{"RestOfInterval", "60", 3, 48000}, WaitRow{"InstantCycle", "30", 0, 30000},
                      WaitRow{"LongestInterval", "90", 0, 90000}, WaitRow{"AlmostWholeInterval", "60", 14, 4000},
                      WaitRow{"WholeInterval", "60", 15, 1000}, WaitRow{"LongerThanInterval", "60", 20, 1000},
                      WaitRow{"ClockWentBack", "60", -5, 1000},
                      // A number outside 30..90 fails the check but is used as stored.
                      WaitRow{"StoredOutOfRange", "100", 0, 100000}, WaitRow{"StoredZero", "0", 0, 1000},
                      WaitRow{"NotANumberKeepsStored", "x", 3, 48000},
                      // A wait beyond the timer's range is clamped rather than wrapped.
                      WaitRow{"HugeClamped", "4294967295", 0, kMaxTimerMilliseconds},
                      WaitRow{"JustOverTimerRange", "2147484", 0, kMaxTimerMilliseconds},
                      WaitRow{"JustUnderTimerRange", "2147483", 0, 2147483000u}),
    [](const ::testing::TestParamInfo<WaitRow>& info) { return info.param.name; });

TEST_F(ScheduleTest, ElapsedTimeWrapsAtThirtyTwoBits)
{
    // Times are held in 32 bits: a cycle across the wrap still measures 12 s.
    clock.now = 0xFFFFFFFFll - 5;
    sleeper.onSleep = [this](uint32_t) { clock.now += 3; };
    station.OnTimer(kCaptureTimerId);
    EXPECT_EQ(timer.pending, 48000u);
}

TEST_F(ScheduleTest, StartWhileWaitingReplacesTheWait)
{
    station.OnStart();
    station.OnTimer(kCaptureTimerId);
    ASSERT_EQ(timer.pending, 60000u);
    station.OnStart();
    EXPECT_EQ(timer.pending, 500u);
    EXPECT_EQ(timer.events.back(), (Event{true, kCaptureTimerId, 500}));
}

TEST_F(ScheduleTest, NewIntervalTakesEffectAfterTheNextCycle)
{
    station.OnTimer(kCaptureTimerId);
    view.texts[IDC_REFRESH] = "45";
    EXPECT_EQ(timer.pending, 60000u);
    station.OnTimer(kCaptureTimerId);
    EXPECT_EQ(timer.pending, 45000u);
}

TEST_F(ScheduleTest, StopBeforeAnyPicture)
{
    view.texts[IDC_MESSAGE] = "typed but never stored";
    station.OnStart();
    station.OnStop();
    EXPECT_EQ(timer.events.back(), (Event{false, kCaptureTimerId, 0}));
    EXPECT_FALSE(timer.pending.has_value());
    EXPECT_TRUE(launcher.starts.empty());
    EXPECT_FALSE(fs::exists("message.txt"));
    EXPECT_EQ(station.status, "WebCam stopped");
    EXPECT_EQ(view.texts[IDC_STATUS], "WebCam stopped");
    EXPECT_TRUE(fake_dc25::Calls().empty());
}

TEST_F(ScheduleTest, StopDoesNotEmptyAFileThroughALinkPlantedAsTheCaption)
{
    view.texts[IDC_MESSAGE] = "Hello";
    station.OnTimer(kCaptureTimerId);
    ASSERT_EQ(ReadFile("message.txt"), "Hello");
    fs::create_directory("elsewhere");
    WriteFile("elsewhere/precious.txt", "precious contents");
    fs::remove("message.txt");
    fs::create_symlink(fs::absolute("elsewhere/precious.txt"), "message.txt");

    station.OnStop();
    EXPECT_EQ(ReadFile("elsewhere/precious.txt"), "precious contents");
    EXPECT_TRUE(fs::is_symlink("message.txt"));
    EXPECT_EQ(station.status, "WebCam stopped Caption Refused (message.txt is a symbolic link)");
}

TEST_F(ScheduleTest, StopTwiceAfterPictures)
{
    view.texts[IDC_MESSAGE] = "Hello";
    station.OnTimer(kCaptureTimerId);
    ASSERT_EQ(ReadFile("message.txt"), "Hello");

    station.OnStop();
    EXPECT_EQ(ReadFile("message.txt"), "");
    EXPECT_EQ(station.lastMessage, "");

    WriteFile("message.txt", "written elsewhere");
    station.OnStop();
    EXPECT_EQ(ReadFile("message.txt"), "written elsewhere");

    const std::string final = std::string(kDefaultStamp) + " ARCHIVE off";
    EXPECT_EQ(launcher.starts,
              (std::vector<std::string>{std::string(kDefaultStamp) + " ARCHIVE", final, final}));
    EXPECT_STREQ(station.lastStamp, kDefaultStamp);
    EXPECT_EQ(station.status, "WebCam stopped");
}

TEST_F(ScheduleTest, StopTakesArchiveWordFromItsOwnRead)
{
    station.OnTimer(kCaptureTimerId);
    view.checks[IDC_ARCHIVE] = 0;
    station.OnStop();
    EXPECT_EQ(launcher.starts.back(), std::string(kDefaultStamp) + " NOARCHIVE off");
}

TEST_F(ScheduleTest, StopKeepsStampOfLastStoredPicture)
{
    station.OnTimer(kCaptureTimerId);
    clock.now += 60;
    fake_dc25::CurrentScript().getNativePicture = -3;
    station.OnTimer(kCaptureTimerId);
    station.OnStop();
    EXPECT_EQ(launcher.starts.back(), std::string(kDefaultStamp) + " ARCHIVE off");
}

TEST_F(ScheduleTest, NextCycleAfterStopWritesCaptionAgain)
{
    view.texts[IDC_MESSAGE] = "Hello";
    station.OnTimer(kCaptureTimerId);
    station.OnStop();
    station.OnStart();
    station.OnTimer(kCaptureTimerId);
    EXPECT_EQ(ReadFile("message.txt"), "Hello");
}

}  // namespace
}  // namespace tessel::testing
