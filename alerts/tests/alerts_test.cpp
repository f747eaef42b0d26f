// The alerts as the station drives them: reports return at once whatever the delivery does, and
// nothing happens without a target.
#include <sys/wait.h>


#include <gtest/gtest.h>

#include "alert_test_support.h"
#include "alerts.h"

namespace tessel::alerts {
namespace {

namespace fs = std::filesystem;
using testing::CaptureLoop;
using testing::Failed;
using testing::Good;
using testing::LogRecorder;
using namespace std::chrono_literals;

const AlertSource kRoof{"roof", "/srv/www/roof"};

TEST(Alerts, WithoutATargetNothingIsSentNotEvenStopped)
{
    LogRecorder log;
    {
        Alerts alerts(AlertSettings{1, {}, {}}, kRoof, 0, log.Sink());
        alerts.SeriesStarted();
        alerts.StepFinished(Failed(1, 1));
        alerts.StepFinished(Good(2));
        alerts.SeriesStopped(testing::StepTime(3));
        alerts.Finish();
    }
    EXPECT_EQ(log.Lines(), std::vector<std::string>{});
}

// The alert command and the webhook both hang for as long as they are let: a command that never
// ends and a server that never answers, with limits of an hour. The capture loop still makes
// all its steps and reports, and more alerts queue up behind the hanging ones; at shutdown
// everything is abandoned within the grace time, and the command is killed and reaped.
TEST(Alerts, ReportsNeverWaitForTheDelivery)
{
    const fs::path folder = testing::ScratchFolder("never_waits");
    const testing::HangingProgram program(folder);
    testing::WebhookRecorder server("hang");
    AlertTimings timings;
    timings.commandLimit = 1h;
    timings.tryLimit = 1h;
    timings.finishGrace = 300ms;
    LogRecorder log;
    Alerts alerts(AlertSettings{2, program.Path(), server.Url("/hook")}, kRoof, 0, log.Sink(), timings);
    CaptureLoop loop(alerts, 20ms);
    alerts.SeriesStarted();
    loop.Step(false);
    loop.Step(false);  // failing
    // Both deliveries of `failing` are under way and will not end by themselves.
    ASSERT_TRUE(server.WaitForRequests(1));
    ASSERT_TRUE(program.WaitUntilRunning());
    for (int step = 3; step < 30; ++step) {
        loop.Step(step % 10 == 0);  // recovered and failing again, twice
    }
    alerts.SeriesStopped(testing::StepTime(30));
    EXPECT_EQ(loop.Steps(), 29);
    EXPECT_EQ(server.Requests().size(), 1u) << "the first try should still hang";
    EXPECT_LT(loop.ReportShare(), 0.5) << "reports held the capture loop up";
    alerts.Finish();
    // Per channel: failing (under way), recovered, failing, recovered, failing (waiting), stopped.
    EXPECT_EQ(log.Count("abandoned at shutdown: not delivered through alert_command"), 6u) << log.Text();
    EXPECT_EQ(log.Count("abandoned at shutdown: not delivered through alert_url"), 6u) << log.Text();
    EXPECT_EQ(waitpid(program.Pid(), nullptr, WNOHANG), -1) << "the alert command was not reaped";
    fs::remove_all(folder);
}

}  // namespace
}  // namespace tessel::alerts
