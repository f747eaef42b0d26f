// The health file: which cycles count as successes, its JSON, and how the station and the
// writer keep it after cycles, Stop and the end of the program.
#include <nlohmann/json.hpp>

#include "control_ids.h"
#include "station_fixture.h"
#include "station_health.h"
#include "station_observer.h"
#include "web_directory.h"

namespace tessel::testing {
namespace {

using nlohmann::json;

constexpr const char* kSuccess =
    "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture Finished Processing";

struct SucceededRow {
    const char* status;
    bool succeeded;
};

void PrintTo(const SucceededRow& row, std::ostream* out)
{
    *out << '"' << row.status << '"';
}

class CycleSucceededTest : public ::testing::TestWithParam<SucceededRow> {};

TEST_P(CycleSucceededTest, OnlyACompleteCycleWithoutAFailedStepSucceeds)
{
    EXPECT_EQ(CycleSucceeded(GetParam().status), GetParam().succeeded) << GetParam().status;
}

INSTANTIATE_TEST_SUITE_P(
    Statuses, CycleSucceededTest,
    ::testing::Values(SucceededRow{kSuccess, true},
                      SucceededRow{"OpenDriver Failed Finished Processing", false},
                      SucceededRow{"Say \"Cheese!\" OpenCamera Failed Finished Processing", false},
                      SucceededRow{"Say \"Cheese!\" Acquiring Picture GetNativePicture Failed (-3) Deleting Picture "
                                   "Finished Processing", false},
                      SucceededRow{"Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture "
                                   "Finished Processing CloseCamera Failed", false},
                      // A cycle that an exception ended never reached its last words.
                      SucceededRow{"Say \"Cheese!\" Acquiring Picture", false},
                      SucceededRow{"", false},
                      // A camera without picture memory has no delete step.
                      SucceededRow{"Say \"Cheese!\" Acquiring Picture Creating Web Image Finished Processing", true},
                      SucceededRow{"Say \"Cheese!\" Acquiring Picture Creating Web Image FileWrite Failed Finished "
                                   "Processing", false},
                      SucceededRow{"Say \"Cheese!\" Acquiring Picture Finished Processing", false}));

// A clock whose local time lies a chosen offset from UTC.
class OffsetClock final : public Clock {
public:
    explicit OffsetClock(long offsetSeconds) : offset_(offsetSeconds) {}
    int64_t Now() const override { return 1765351805; }
    std::tm LocalTime(int64_t seconds) const override
    {
        const std::time_t local = static_cast<std::time_t>(seconds + offset_);
        std::tm result{};
        gmtime_r(&local, &result);
        result.tm_gmtoff = offset_;
        return result;
    }

private:
    long offset_;
};

TEST(IsoLocalTimeTest, WritesTheLocalTimeWithItsOffset)
{
    EXPECT_EQ(IsoLocalTime(OffsetClock(3600), 1765351805 - 3600), "2025-12-10T07:30:05+01:00");
    EXPECT_EQ(IsoLocalTime(OffsetClock(-(5 * 3600 + 30 * 60)), 1765351805), "2025-12-10T02:00:05-05:30");
    EXPECT_EQ(IsoLocalTime(OffsetClock(0), 1765351805), "2025-12-10T07:30:05+00:00");
}

TEST(StationHealthTest, CountsFailuresInARowAndKeepsTheLastSuccess)
{
    StationHealth health;
    health.running = true;
    health.RecordCycle(1000, kSuccess);
    health.RecordCycle(1060, "OpenDriver Failed Finished Processing");
    health.RecordCycle(1120, "Say \"Cheese!\" OpenCamera Failed Finished Processing");

    const json document = json::parse(StationHealthJson(health, OffsetClock(3600), 1125));
    EXPECT_EQ(document["state"], "running");
    EXPECT_EQ(document["last_cycle_epoch"], 1120);
    EXPECT_EQ(document["last_cycle_at"], "1970-01-01T01:18:40+01:00");
    EXPECT_EQ(document["last_status"], "Say \"Cheese!\" OpenCamera Failed Finished Processing");
    EXPECT_EQ(document["last_success_epoch"], 1000);
    EXPECT_EQ(document["last_success_at"], "1970-01-01T01:16:40+01:00");
    EXPECT_EQ(document["consecutive_failures"], 2);
    EXPECT_EQ(document["updated_epoch"], 1125);

    health.RecordCycle(1180, kSuccess);
    EXPECT_EQ(health.consecutiveFailures, 0);
    EXPECT_EQ(health.lastSuccessEpoch, 1180);
}

TEST(StationHealthTest, BeforeAnyCycleTheTimesAreNull)
{
    const json document = json::parse(StationHealthJson(StationHealth{}, OffsetClock(0), 5));
    EXPECT_EQ(document["state"], "stopped");
    EXPECT_TRUE(document["last_cycle_epoch"].is_null());
    EXPECT_TRUE(document["last_cycle_at"].is_null());
    EXPECT_TRUE(document["last_success_epoch"].is_null());
    EXPECT_TRUE(document["last_success_at"].is_null());
    EXPECT_EQ(document["last_status"], "");
    EXPECT_EQ(document["consecutive_failures"], 0);
}

class RecordingObserver final : public StationObserver {
public:
    void CycleFinished(int64_t startEpoch, const std::string& status) override
    {
        events.push_back("cycle " + std::to_string(startEpoch) + ": " + status);
    }
    void Stopped(const std::string& status) override { events.push_back("stopped: " + status); }

    std::vector<std::string> events;
};

TEST_F(StationTest, TheObserverHearsEachFinishedCycleAndStop)
{
    RecordingObserver observer;
    station.Observe(&observer);
    const int64_t start = clock.now;
    sleeper.onSleep = [this](uint32_t) { clock.now += 1; };

    station.OnTimer(kCaptureTimerId);
    fake_dc25::CurrentScript().openCamera = DC25_E_NO_ANSWER;
    station.OnTimer(kCaptureTimerId);
    station.OnStop();

    ASSERT_EQ(observer.events.size(), 3u);
    // The cycle's start time, and the status line the window shows after it.
    EXPECT_EQ(observer.events[0], "cycle " + std::to_string(start) + ": " + kSuccess);
    EXPECT_EQ(observer.events[1].substr(observer.events[1].find(": ")), ": Say \"Cheese!\" OpenCamera Failed Finished Processing");
    EXPECT_EQ(observer.events[2], "stopped: WebCam stopped");
    EXPECT_EQ(view.texts[IDC_STATUS], "WebCam stopped");
}

class HealthFileTest : public StationTest {
protected:
    json ReadHealth() const
    {
        const auto text = ReadFile(workDir.Path() / kHealthFileName);
        return text ? json::parse(*text) : json();
    }

    WebDirectory directory = WebDirectory::Open(workDir.Path());
};

TEST_F(HealthFileTest, WrittenAfterEveryCycleAndOnStop)
{
    HealthFile health(directory, clock);
    station.Observe(&health);

    station.OnTimer(kCaptureTimerId);
    json document = ReadHealth();
    EXPECT_EQ(document["state"], "running");
    EXPECT_EQ(document["last_status"], kSuccess);
    EXPECT_EQ(document["last_success_epoch"], clock.now);
    EXPECT_EQ(document["consecutive_failures"], 0);

    fake_dc25::CurrentScript().openDriver = DC25_E_NO_ANSWER;
    clock.now += 60;
    station.OnTimer(kCaptureTimerId);
    document = ReadHealth();
    EXPECT_EQ(document["last_cycle_epoch"], clock.now);
    EXPECT_EQ(document["last_success_epoch"], clock.now - 60);
    EXPECT_EQ(document["consecutive_failures"], 1);

    station.OnStop();
    document = ReadHealth();
    EXPECT_EQ(document["state"], "stopped");
    // The last cycle's line stays: the state says that the series ended.
    EXPECT_EQ(document["last_status"], "OpenDriver Failed Finished Processing");
    EXPECT_EQ(document["consecutive_failures"], 1);
}

TEST_F(HealthFileTest, ASingleCycleAndTheEndOfTheProgramLeaveItStopped)
{
    HealthFile once(directory, clock, HealthFile::AfterCycle::Stopped);
    once.CycleFinished(clock.now, kSuccess);
    EXPECT_EQ(ReadHealth()["state"], "stopped");

    HealthFile series(directory, clock);
    series.CycleFinished(clock.now, kSuccess);
    EXPECT_EQ(ReadHealth()["state"], "running");
    series.ProgramEnding();
    EXPECT_EQ(ReadHealth()["state"], "stopped");
    EXPECT_EQ(ReadHealth()["last_status"], kSuccess);
}

TEST_F(HealthFileTest, CarriesOnFromTheFileOfAnEarlierRun)
{
    WriteFile(workDir.Path() / kHealthFileName,
              R"({"state":"running","last_cycle_epoch":2000,"last_status":"OpenDriver Failed Finished Processing",)"
              R"("last_success_epoch":1000,"consecutive_failures":3,"updated_epoch":2001})");
    HealthFile health(directory, clock);
    EXPECT_EQ(health.Health().lastCycleEpoch, 2000);
    health.CycleFinished(2060, "OpenDriver Failed Finished Processing");
    const json document = ReadHealth();
    EXPECT_EQ(document["consecutive_failures"], 4);
    EXPECT_EQ(document["last_success_epoch"], 1000);
    EXPECT_EQ(document["last_cycle_epoch"], 2060);
}

TEST_F(HealthFileTest, ADamagedFileStartsAfresh)
{
    for (const char* damaged : {"{\"consecutive_failures\":", "[1,2]", R"({"consecutive_failures":-4,"last_success_epoch":"x"})"}) {
        WriteFile(workDir.Path() / kHealthFileName, damaged);
        HealthFile health(directory, clock);
        EXPECT_EQ(health.Health().consecutiveFailures, 0) << damaged;
        EXPECT_FALSE(health.Health().lastSuccessEpoch) << damaged;
        health.Stopped("WebCam stopped");
        EXPECT_EQ(ReadHealth()["state"], "stopped") << damaged;
    }
}

TEST_F(HealthFileTest, AFailedWriteIsLoggedAndTheStationGoesOn)
{
    std::filesystem::create_directory(workDir.Path() / kHealthFileName);
    HealthFile health(directory, clock);
    station.Observe(&health);
    ::testing::internal::CaptureStderr();
    station.OnTimer(kCaptureTimerId);
    const std::string log = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(log.find("cannot write station.json"), std::string::npos) << log;
    EXPECT_EQ(timer.pending, 60000u);
}

}  // namespace
}  // namespace tessel::testing
