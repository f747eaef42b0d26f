// The alert command: a real program started for every alert, recording how it was called.
#include <signal.h>
#include <stdlib.h>
#include <sys/wait.h>

#include <cerrno>
#include <fstream>
#include <sstream>
#include <thread>

#include <gtest/gtest.h>

#include "alert_test_support.h"
#include "alerts.h"
#include "delivery_worker.h"

namespace tessel::alerts {
namespace {

namespace fs = std::filesystem;
using testing::Failed;
using testing::Good;
using testing::LogRecorder;

// Appends its arguments, its blocked signals (read by the shell itself: it blocks signals while
// it waits for a child) and the TESSEL_* and ALERTS_TEST_* variables to $ALERTS_TEST_RECORD; says
// something on both outputs; exits 3 for `recovered`.
constexpr const char* kRecordingProgram = R"(
{
  echo "call with $# arguments as $0"
  while read -r line; do case "$line" in SigBlk:*) echo "$line";; esac; done < /proc/$$/status
  env | grep -E '^(TESSEL_|ALERTS_TEST_)' | LC_ALL=C sort
  echo "end"
} >> "$ALERTS_TEST_RECORD"
echo "mail for $TESSEL_EVENT sent"
printf 'on stderr \033[31mred\n' >&2
test "$TESSEL_EVENT" != recovered || exit 3
)";

std::string ReadFile(const fs::path& file)
{
    std::ifstream in(file);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

// The record of one call for `event`, `failures` and `status`.
std::string Call(const fs::path& program, const fs::path& record, const std::string& event, int failures,
                 const std::string& status)
{
    // The delivery thread blocks every signal; the program must not inherit that.
    return "call with 0 arguments as " + program.string() + "\nSigBlk:\t0000000000000000\nALERTS_TEST_RECORD=" + record.string() +
           "\nTESSEL_EVENT=" + event + "\nTESSEL_FAILURES=" + std::to_string(failures) +
           "\nTESSEL_LAST_STATUS=" + status + "\nTESSEL_STATION=roof\nTESSEL_WEBDIR=/srv/www/roof cam\nend\n";
}

AlertSettings CommandSettings(const fs::path& program, uint32_t alertAfter = 3)
{
    AlertSettings settings;
    settings.alertAfter = alertAfter;
    settings.command = program;
    return settings;
}

AlertTimings ShortTimings(std::chrono::milliseconds commandLimit, std::chrono::milliseconds finishGrace)
{
    AlertTimings timings;
    timings.commandLimit = commandLimit;
    timings.finishGrace = finishGrace;
    return timings;
}

const AlertSource kRoof{"roof", "/srv/www/roof cam"};

TEST(CommandAlert, RunsTheProgramWithTheAlertInItsEnvironmentInOrder)
{
    const fs::path folder = testing::ScratchFolder("command");
    const fs::path program = testing::WriteScript(folder / "alert", kRecordingProgram);
    const fs::path record = folder / "record";
    // The station's own environment reaches the program, under the alert's variables.
    setenv("ALERTS_TEST_RECORD", record.c_str(), 1);
    const std::string quoted = "Failed: it's \"quoted\" $HOME; `rm -rf /`";
    LogRecorder log;
    {
        Alerts alerts(CommandSettings(program, 2), kRoof, 0, log.Sink(), ShortTimings(testing::kPatience, testing::kPatience));
        alerts.SeriesStarted();
        alerts.StepFinished(Failed(1, 1));
        alerts.StepFinished({StepResult::FailedConversion, quoted, 2, testing::StepTime(2)});
        alerts.StepFinished(Failed(3, 3));
        alerts.StepFinished(Good(4));
        alerts.SeriesStopped(testing::StepTime(5));
        alerts.Finish();
    }
    unsetenv("ALERTS_TEST_RECORD");
    EXPECT_EQ(ReadFile(record), Call(program, record, "failing", 2, quoted) +
                                    Call(program, record, "recovered", 3, Good(4).status) +
                                    Call(program, record, "stopped", 0, Good(4).status));
    const std::string name = "alert_command " + program.string();
    EXPECT_EQ(log.Count(name + ": mail for failing sent"), 1u) << log.Text();
    EXPECT_EQ(log.Count(name + ": on stderr \\x1b[31mred"), 3u) << log.Text();
    EXPECT_EQ(log.Count("alert failing delivered through " + name), 1u) << log.Text();
    EXPECT_EQ(log.Count("alert recovered could not be delivered through " + name + ": exited with status 3"), 1u)
        << log.Text();
    EXPECT_EQ(log.Count("alert stopped delivered through " + name), 1u) << log.Text();
    fs::remove_all(folder);
}

// How a run ends, and the line the log gets for it.
struct Ending {
    const char* name;
    const char* program;  // the script's body; nullptr: a program that does not exist
    const char* logged;
};

void PrintTo(const Ending& ending, std::ostream* out)
{
    *out << ending.name;
}

class CommandEnding : public ::testing::TestWithParam<Ending> {};

TEST_P(CommandEnding, IsLogged)
{
    const fs::path folder = testing::ScratchFolder(GetParam().name);
    const fs::path program = GetParam().program ? testing::WriteScript(folder / "alert", GetParam().program)
                                                : folder / "missing";
    LogRecorder log;
    {
        Alerts alerts(CommandSettings(program, 1), kRoof, 0, log.Sink(),
                      ShortTimings(std::chrono::milliseconds(300), testing::kPatience));
        alerts.StepFinished(Failed(1, 1));
        alerts.Finish();
    }
    EXPECT_EQ(log.Count(GetParam().logged), 1u) << log.Text();
    fs::remove_all(folder);
}

INSTANTIATE_TEST_SUITE_P(
    Endings, CommandEnding,
    ::testing::Values(Ending{"success", "exit 0", "alert failing delivered through"},
                      Ending{"status", "exit 7", ": exited with status 7"},
                      Ending{"signal", "kill -TERM $$", ": ended by signal 15"},
                      Ending{"missing", nullptr, ": cannot start"},
                      Ending{"hang", "echo waiting; exec sleep 1000", ": killed after 0.3 s"},
                      // It exits at once but leaves something holding its output: that is killed at the
                      // limit, and the alert counts as delivered.
                      Ending{"leftover", "sleep 1000 & exit 0", ": killed what it left running after 0.3 s"}),
    [](const auto& info) { return std::string(info.param.name); });

bool Gone(pid_t process)
{
    std::ifstream stat("/proc/" + std::to_string(process) + "/stat");
    std::string pid, command, state;
    // A killed orphan may wait for its reaper a little: a zombie is gone as well.
    return !(stat >> pid >> command >> state) || state == "Z";
}

TEST(CommandAlert, ItsWholeProcessGroupIsKilledAtTheLimitAndTheNextAlertStillRuns)
{
    const fs::path folder = testing::ScratchFolder("group");
    const fs::path program = testing::WriteScript(folder / "alert", "test \"$TESSEL_EVENT\" = stopped && exit 0\n"
                                                                    "sleep 1000 > /dev/null 2>&1 &\n"
                                                                    "echo $! > \"$0.helper\"\n"
                                                                    "sleep 1000");
    LogRecorder log;
    {
        Alerts alerts(CommandSettings(program, 1), kRoof, 0, log.Sink(),
                      ShortTimings(std::chrono::milliseconds(300), testing::kPatience));
        alerts.SeriesStarted();
        alerts.StepFinished(Failed(1, 1));
        alerts.SeriesStopped(testing::StepTime(2));
        alerts.Finish();
    }
    EXPECT_EQ(log.Count("alert failing could not be delivered through alert_command " + program.string() +
                        ": killed after 0.3 s"),
              1u)
        << log.Text();
    EXPECT_EQ(log.Count("alert stopped delivered"), 1u) << log.Text();
    const pid_t helper = std::stoi(ReadFile(program.string() + ".helper"));
    bool gone = false;
    for (int i = 0; i < 500 && !gone; ++i) {
        gone = Gone(helper);
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_TRUE(gone) << "the program's helper " << helper << " outlived it";
    if (!gone) {
        kill(helper, SIGKILL);
    }
    fs::remove_all(folder);
}

// An alert command that hangs until it is killed, with a limit of an hour and a short grace at
// shutdown.
class HangingCommand : public ::testing::Test {
protected:
    HangingCommand() : folder_(testing::ScratchFolder("hanging")), program_(folder_) {}
    ~HangingCommand() override { fs::remove_all(folder_); }

    Alerts MakeAlerts()
    {
        return Alerts(CommandSettings(program_.Path(), 1), kRoof, 0, log_.Sink(),
                      ShortTimings(std::chrono::hours(1), std::chrono::milliseconds(200)));
    }

    fs::path folder_;
    testing::HangingProgram program_;
    LogRecorder log_;
};

TEST_F(HangingCommand, AtShutdownItIsKilledAndWaitingAlertsAreAbandoned)
{
    {
        Alerts alerts = MakeAlerts();
        alerts.SeriesStarted();
        alerts.StepFinished(Failed(1, 1));
        alerts.SeriesStopped(testing::StepTime(2));
        ASSERT_TRUE(program_.WaitUntilRunning());
        alerts.Finish();
    }
    EXPECT_EQ(log_.Count("alert failing abandoned at shutdown"), 1u) << log_.Text();
    EXPECT_EQ(log_.Count("alert stopped abandoned at shutdown"), 1u) << log_.Text();
    // Finish killed and reaped it: it is no child of ours any more.
    EXPECT_EQ(waitpid(program_.Pid(), nullptr, WNOHANG), -1);
    EXPECT_EQ(errno, ECHILD);
}

TEST_F(HangingCommand, BeyondTheWaitingLimitTheOldestWaitingAlertIsDropped)
{
    {
        Alerts alerts = MakeAlerts();
        alerts.StepFinished(Failed(0, 1));
        ASSERT_TRUE(program_.WaitUntilRunning());
        // With alert_after 1 every step makes an alert: recovered, failing, recovered, ...
        const int more = static_cast<int>(DeliveryWorker::kMostWaiting) + 3;
        for (int step = 1; step <= more; ++step) {
            alerts.StepFinished(step % 2 == 1 ? Good(step) : Failed(step, 1));
        }
        alerts.Finish();
    }
    EXPECT_EQ(log_.Count("dropped: too many alerts waiting for alert_command"), 3u) << log_.Text();
    EXPECT_EQ(log_.Count("abandoned at shutdown"), DeliveryWorker::kMostWaiting + 1) << log_.Text();
}

}  // namespace
}  // namespace tessel::alerts
