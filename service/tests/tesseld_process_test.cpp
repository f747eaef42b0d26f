// tesseld as a process, with the real camera driver library, the emulated camera on a
// pseudo-terminal and the real converter: the schedule, the signals, the settings file, systemd's
// notifications, the web directory's lock, --once and the health file.
//
// TESSELD_TEST_TIME_SCALE (a test-only hook) shortens the capture timer's waits where a test
// needs more than one scheduled picture; the refresh interval itself stays within 30 to 90 s.
#include <gtest/gtest.h>
#include <signal.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <memory>
#include <nlohmann/json.hpp>
#include <optional>
#include <sstream>

#include "emulator_process.h"
#include "tesseld_process.h"

namespace tessel::service::testing {
namespace {

namespace fs = std::filesystem;
using namespace std::chrono_literals;
using nlohmann::json;

constexpr const char* kSuccess =
    "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture Finished Processing";

std::string ReadText(const fs::path& file)
{
    std::ifstream stream(file, std::ios::binary);
    std::ostringstream text;
    text << stream.rdbuf();
    return text.str();
}

int Count(const std::string& text, const std::string& part)
{
    int count = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++count;
    }
    return count;
}

class TesseldTest : public ::testing::Test {
protected:
    TesseldTest()
    {
        char name[] = "/tmp/tesseld-test-XXXXXX";
        root = mkdtemp(name);
        web = root / "web";
        fs::create_directories(web / "archive");
    }

    ~TesseldTest() override
    {
        processes.clear();
        emulator.reset();
        std::error_code ignored;
        fs::remove_all(root, ignored);
    }

    // The camera, fast unless a test needs a paced download.
    void StartCamera(std::vector<std::string> extra = {})
    {
        std::vector<std::string> arguments{"--model", "dc20", "--snap-ms", "100", "--erase-ms", "50"};
        arguments.insert(arguments.end(), extra.begin(), extra.end());
        emulator.emplace(DC2X_EMULATOR_PATH, arguments);
    }

    // A settings file for the camera (or a missing device without one) and the web directory.
    fs::path WriteConfig(const std::string& lines, const std::string& name = "tessel.conf")
    {
        const fs::path file = root / name;
        std::ofstream(file) << "# test settings\n"
                            << "device = " << (emulator ? emulator->path() : "/nonexistent/tty") << "\n"
                            << "webdir = " << web.string() << "\n"
                            << lines;
        return file;
    }

    TesseldProcess& Start(std::vector<std::string> arguments,
                          std::map<std::string, std::optional<std::string>> environment = {},
                          const std::string& log = "tesseld.log")
    {
        const char* path = std::getenv("PATH");
        // The real converter and archive indexer, found on PATH as an installed station finds them.
        std::map<std::string, std::optional<std::string>> base{
            {"PATH", std::string(PICTREX_DIR) + ":" + ARCHINDEX_DIR + ":" + (path != nullptr ? path : "/usr/bin:/bin")},
            {"NOTIFY_SOCKET", std::nullopt},
            {"JOURNAL_STREAM", std::nullopt},
            {"WATCHDOG_USEC", std::nullopt},
            {"WATCHDOG_PID", std::nullopt},
            {"DC25_COM1", std::nullopt},
            {"TESSELD_TEST_TIME_SCALE", std::nullopt},
        };
        environment.merge(base);
        processes.push_back(std::make_unique<TesseldProcess>(TESSELD_PATH, arguments, environment, root / log));
        return *processes.back();
    }

    std::string Log(const std::string& name = "tesseld.log") const { return ReadText(root / name); }
    int Cycles() const { return Count(Log(), "Finished Processing"); }

    // Waits for the `count`-th cycle line; fails the test with the log when it does not come.
    void WaitForCycles(int count, std::chrono::milliseconds limit = 60s)
    {
        ASSERT_TRUE(WaitUntil([&] { return Cycles() >= count; }, limit))
            << "waited for cycle " << count << "; log:\n" << Log() << "\nemulator:\n" << (emulator ? emulator->Log() : "");
    }

    json Health() const { return json::parse(ReadText(web / "station.json")); }

    int ArchivedPictures() const
    {
        int count = 0;
        for (const auto& entry : fs::directory_iterator(web / "archive")) {
            count += entry.path().extension() == ".jpg" ? 1 : 0;
        }
        return count;
    }

    fs::path root;
    fs::path web;
    std::optional<dc2x::testing::EmulatorProcess> emulator;
    std::vector<std::unique_ptr<TesseldProcess>> processes;
};

TEST_F(TesseldTest, PicturesAppearOnSchedule)
{
    StartCamera();
    const fs::path config = WriteConfig("refresh = 60\n");
    // A tenth of the time: the first picture after 50 ms, then one every 6 s.
    auto& tesseld = Start({"--config", config.string()}, {{"TESSELD_TEST_TIME_SCALE", "0.1"}});
    const auto started = std::chrono::steady_clock::now();

    WaitForCycles(1, 20s);
    const auto first = std::chrono::steady_clock::now();
    EXPECT_LT(first - started, 5s) << "the first picture waited for a whole interval";
    WaitForCycles(3);
    // Two intervals of 6 s lie between the first and the third picture.
    EXPECT_GE(std::chrono::steady_clock::now() - first, 10s);

    EXPECT_EQ(Count(Log(), kSuccess), Cycles()) << Log();
    EXPECT_GE(ArchivedPictures(), 3);
    EXPECT_TRUE(fs::exists(web / "webcam.jpg"));
    EXPECT_EQ(json::parse(ReadText(web / "webcam.json"))["camera"], "on");
    EXPECT_TRUE(tesseld.Running());
}

TEST_F(TesseldTest, SighupChangesTheCaptionOfTheNextPicture)
{
    StartCamera();
    const fs::path config = WriteConfig("message = First caption\n");
    auto& tesseld = Start({"--config", config.string()});
    WaitForCycles(1);
    EXPECT_EQ(ReadText(web / "message.txt"), "First caption");

    WriteConfig("message = Second caption\n");
    tesseld.Signal(SIGHUP);
    ASSERT_TRUE(WaitUntil([&] { return Log().find("reread") != std::string::npos; }, 10s)) << Log();
    // Nothing changes before the next picture.
    EXPECT_EQ(ReadText(web / "message.txt"), "First caption");
    tesseld.Signal(SIGUSR1);
    WaitForCycles(2);
    EXPECT_EQ(ReadText(web / "message.txt"), "Second caption");
}

TEST_F(TesseldTest, Sigusr1TakesAPictureAtOnceAndTheScheduleGoesOnFromThere)
{
    StartCamera();
    const fs::path config = WriteConfig("refresh = 90\n");
    // A tenth of the time: one picture every 9 s.
    auto& tesseld = Start({"--config", config.string()}, {{"TESSELD_TEST_TIME_SCALE", "0.1"}});
    WaitForCycles(1);
    std::this_thread::sleep_for(3s);
    tesseld.Signal(SIGUSR1);
    const auto asked = std::chrono::steady_clock::now();
    WaitForCycles(2, 6s);
    EXPECT_NE(Log().find("picture requested"), std::string::npos);
    // The next picture follows a whole interval after the requested one, not the first one.
    WaitForCycles(3, 30s);
    EXPECT_GE(std::chrono::steady_clock::now() - asked, 8s);
}

TEST_F(TesseldTest, SigtermDuringAPacedDownloadLetsItFinishThenStops)
{
    StartCamera({"--pace"});
    const fs::path config = WriteConfig("message = Stopping soon\n");
    NotifySocket systemd(root / "notify");
    // A converter that takes its time: tesseld must wait for it before it ends.
    fs::create_directory(root / "slow");
    std::ofstream(root / "slow" / "pictrex") << "#!/bin/sh\nsleep 1\nexec " << PICTREX_DIR << "/pictrex \"$@\"\n";
    fs::permissions(root / "slow" / "pictrex", fs::perms::owner_all);
    const std::string path = (root / "slow").string() + ":" + ARCHINDEX_DIR + ":/usr/bin:/bin";
    auto& tesseld =
        Start({"--config", config.string()}, {{"NOTIFY_SOCKET", systemd.path().string()}, {"PATH", path}});

    ASSERT_TRUE(systemd.WaitFor("Acquiring Picture", 30s)) << Log();
    ASSERT_EQ(Cycles(), 0) << "the download was over before the signal";
    tesseld.Signal(SIGTERM);

    EXPECT_EQ(tesseld.WaitForExit(90s), 0) << Log();
    const std::string webcam = ReadText(web / "webcam.json");
    const std::string log = Log();
    const auto cycle = log.find(kSuccess);
    ASSERT_NE(cycle, std::string::npos) << log;
    EXPECT_NE(log.find("WebCam stopped", cycle), std::string::npos) << log;
    EXPECT_EQ(ArchivedPictures(), 1);
    // The off picture is published before the program ends, and the caption is emptied.
    ASSERT_FALSE(webcam.empty()) << "no picture published before tesseld ended";
    EXPECT_EQ(json::parse(webcam)["camera"], "off");
    EXPECT_EQ(ReadText(web / "message.txt"), "");
    const json health = Health();
    EXPECT_EQ(health["state"], "stopped");
    EXPECT_EQ(health["last_status"], kSuccess);
    EXPECT_EQ(health["consecutive_failures"], 0);
}

struct BadConfigRow {
    const char* lines;
    const char* error;  // after "FILE:"
};

void PrintTo(const BadConfigRow& row, std::ostream* out)
{
    *out << row.error;
}

class BadConfigAtStartTest : public TesseldTest, public ::testing::WithParamInterface<BadConfigRow> {};

TEST_P(BadConfigAtStartTest, ExitsWithStatus2NamingFileLineAndKeyBeforeAnyCapture)
{
    StartCamera();
    const fs::path config = WriteConfig(GetParam().lines);
    auto& tesseld = Start({"--config", config.string()});
    EXPECT_EQ(tesseld.WaitForExit(20s), 2);
    EXPECT_NE(Log().find(config.string() + ":" + GetParam().error), std::string::npos) << Log();
    EXPECT_FALSE(fs::exists(web / "station.json"));
    EXPECT_FALSE(fs::exists(web / "message.txt"));
    EXPECT_EQ(ArchivedPictures(), 0);
}

INSTANTIATE_TEST_SUITE_P(Files, BadConfigAtStartTest,
                         ::testing::Values(BadConfigRow{"refresh = 15\n", "4: refresh:"},
                                           BadConfigRow{"speed = 12345\n", "4: speed:"},
                                           BadConfigRow{"\nshutter = fast\n", "5: shutter: unknown key"}));

TEST_F(TesseldTest, AMissingConfigFileOrAnUnknownOptionIsAUsageError)
{
    EXPECT_EQ(Start({"--config", (root / "missing.conf").string()}).WaitForExit(20s), 2);
    EXPECT_NE(Log().find("missing.conf: no such file"), std::string::npos) << Log();
    EXPECT_EQ(Start({"--frobnicate"}).WaitForExit(20s), 2);
    EXPECT_NE(Log().find("unknown option '--frobnicate'"), std::string::npos) << Log();
}

TEST_F(TesseldTest, ABadConfigOnReloadIsLoggedAndTheOldSettingsStay)
{
    StartCamera();
    const fs::path config = WriteConfig("message = Kept caption\n");
    auto& tesseld = Start({"--config", config.string()});
    WaitForCycles(1);

    WriteConfig("message = Lost caption\nrefresh = 500\n");
    tesseld.Signal(SIGHUP);
    ASSERT_TRUE(WaitUntil([&] { return Log().find("settings in use stay") != std::string::npos; }, 10s)) << Log();
    EXPECT_NE(Log().find(config.string() + ":5: refresh:"), std::string::npos) << Log();

    tesseld.Signal(SIGUSR1);
    WaitForCycles(2);
    EXPECT_EQ(Count(Log(), kSuccess), 2) << Log();
    EXPECT_EQ(ReadText(web / "message.txt"), "Kept caption");
    EXPECT_TRUE(tesseld.Running());
}

TEST_F(TesseldTest, SystemdHearsReadyStatusAndTheWatchdog)
{
    StartCamera();
    const fs::path config = WriteConfig("");
    NotifySocket systemd(root / "notify");
    auto& tesseld = Start({"--config", config.string()},
                          {{"NOTIFY_SOCKET", systemd.path().string()}, {"WATCHDOG_USEC", "200000"}});

    EXPECT_TRUE(systemd.WaitFor("READY=1", 20s));
    EXPECT_TRUE(systemd.WaitFor(std::string("STATUS=") + kSuccess, 60s));
    EXPECT_TRUE(systemd.WaitFor("WATCHDOG=1", 10s));
    // Under systemd the log lines carry syslog priorities.
    EXPECT_NE(Log().find(std::string("<6>") + kSuccess), std::string::npos) << Log();

    tesseld.Signal(SIGTERM);
    EXPECT_EQ(tesseld.WaitForExit(60s), 0);
    EXPECT_TRUE(systemd.WaitFor("STOPPING=1", 5s));
    EXPECT_TRUE(systemd.WaitFor("STATUS=WebCam stopped", 5s));
}

// A download that takes many times the watchdog's timeout keeps it fed by the bytes it reads; a
// process stopped whole feeds it no more until it goes on.
TEST_F(TesseldTest, TheWatchdogIsFedThroughALongDownloadAndNotWhileStopped)
{
    StartCamera({"--pace"});
    const fs::path config = WriteConfig("");
    NotifySocket systemd(root / "notify");
    auto& tesseld = Start({"--config", config.string()},
                          {{"NOTIFY_SOCKET", systemd.path().string()}, {"WATCHDOG_USEC", "1000000"}});
    const auto fed = [&systemd] {
        return static_cast<std::size_t>(std::count(systemd.messages.begin(), systemd.messages.end(), "WATCHDOG=1"));
    };

    ASSERT_TRUE(systemd.WaitFor("Acquiring Picture", 30s)) << Log();
    EXPECT_TRUE(systemd.WaitForCount("WATCHDOG=1", fed() + 4, 3s)) << "not fed during the download";
    ASSERT_EQ(Cycles(), 0) << "the download was over too soon for this test";

    tesseld.Signal(SIGSTOP);
    systemd.WaitForCount("WATCHDOG=1", SIZE_MAX, 300ms);  // what was on its way
    EXPECT_FALSE(systemd.WaitForCount("WATCHDOG=1", fed() + 1, 2s)) << "fed while stopped";
    tesseld.Signal(SIGCONT);
    EXPECT_TRUE(systemd.WaitForCount("WATCHDOG=1", fed() + 1, 5s)) << "not fed after SIGCONT";

    // Reading on as systemd does: a socket left full would block tesseld's next message.
    tesseld.Signal(SIGTERM);
    EXPECT_TRUE(WaitUntil(
        [&] {
            systemd.WaitForCount("WATCHDOG=1", SIZE_MAX, 100ms);
            return !tesseld.Running();
        },
        90s));
    EXPECT_EQ(tesseld.WaitForExit(0s), 0) << Log();
}

TEST_F(TesseldTest, ASecondStationOnTheSameWebDirectoryIsRefused)
{
    StartCamera();
    const fs::path config = WriteConfig("");
    auto& first = Start({"--config", config.string()});
    WaitForCycles(1);

    auto& second = Start({"--config", config.string()}, {}, "second.log");
    EXPECT_EQ(second.WaitForExit(20s), 3);
    EXPECT_NE(Log("second.log").find("another station is already running on the web directory " + web.string()),
              std::string::npos)
        << Log("second.log");
    auto& once = Start({"--config", config.string(), "--once"}, {}, "once.log");
    EXPECT_EQ(once.WaitForExit(20s), 3);
    EXPECT_EQ(Count(Log("once.log"), "Finished Processing"), 0) << Log("once.log");
    EXPECT_TRUE(first.Running());
}

// A web directory that is not there, or is a file: nothing a restart could mend.
TEST_F(TesseldTest, AnUnusableWebDirectoryEndsWithItsOwnStatus)
{
    const fs::path config = root / "unusable.conf";
    for (const fs::path& webdir : {root / "missing", config}) {
        std::ofstream(config) << "webdir = " << webdir.string() << "\n";
        const std::string log = webdir.filename().string() + ".log";
        auto& tesseld = Start({"--config", config.string()}, {}, log);
        EXPECT_EQ(tesseld.WaitForExit(20s), 4) << webdir;
        EXPECT_NE(Log(log).find(config.string() + ": webdir: "), std::string::npos) << Log(log);
    }
}

TEST_F(TesseldTest, OnceWithACameraSucceedsAndRecordsIt)
{
    StartCamera();
    const fs::path config = WriteConfig("");
    EXPECT_EQ(Start({"--config", config.string(), "--once"}).WaitForExit(60s), 0) << Log();
    EXPECT_EQ(Count(Log(), kSuccess), 1) << Log();
    // The picture is published before --once returns.
    EXPECT_EQ(ArchivedPictures(), 1);
    EXPECT_TRUE(fs::exists(web / "webcam.jpg"));

    const json health = Health();
    EXPECT_EQ(health["state"], "stopped");
    EXPECT_EQ(health["last_status"], kSuccess);
    EXPECT_EQ(health["last_success_epoch"], health["last_cycle_epoch"]);
    EXPECT_TRUE(health["last_success_at"].is_string());
    EXPECT_EQ(health["consecutive_failures"], 0);
}

TEST_F(TesseldTest, OnceWithoutACameraFailsAndFailuresAreCountedAcrossRuns)
{
    const fs::path config = WriteConfig("");
    EXPECT_EQ(Start({"--config", config.string(), "--once"}).WaitForExit(60s), 1) << Log();
    EXPECT_NE(Log().find("OpenCamera Failed Finished Processing"), std::string::npos) << Log();
    EXPECT_EQ(Start({"--config", config.string(), "--once"}).WaitForExit(60s), 1) << Log();

    const json health = Health();
    EXPECT_EQ(health["consecutive_failures"], 2);
    EXPECT_TRUE(health["last_success_epoch"].is_null());
    EXPECT_TRUE(health["last_cycle_epoch"].is_number());
    EXPECT_EQ(ArchivedPictures(), 0);
}

TEST_F(TesseldTest, StationJsonAfterFailuresInARunningSeries)
{
    const fs::path config = WriteConfig("refresh = 30\n");
    auto& tesseld = Start({"--config", config.string()}, {{"TESSELD_TEST_TIME_SCALE", "0.05"}});
    WaitForCycles(2);
    ASSERT_TRUE(WaitUntil([&] { return fs::exists(web / "station.json") && Health()["consecutive_failures"] >= 2; }, 10s));
    const json health = Health();
    EXPECT_EQ(health["state"], "running");
    EXPECT_TRUE(health["last_success_epoch"].is_null());
    EXPECT_NE(health["last_status"].get<std::string>().find("Failed"), std::string::npos);
    EXPECT_NE(Log().find("OpenCamera Failed"), std::string::npos);

    tesseld.Signal(SIGINT);
    EXPECT_EQ(tesseld.WaitForExit(60s), 0) << Log();
    EXPECT_EQ(Health()["state"], "stopped");
}

TEST_F(TesseldTest, VersionAndHelp)
{
    EXPECT_EQ(Start({"--version"}).WaitForExit(20s), 0);
    EXPECT_EQ(Log(), std::string("tesseld ") + TESSEL_VERSION + "\n");
    EXPECT_EQ(Start({"--help"}, {}, "help.log").WaitForExit(20s), 0);
    EXPECT_NE(Log("help.log").find("usage: tesseld"), std::string::npos);
}

}  // namespace
}  // namespace tessel::service::testing
