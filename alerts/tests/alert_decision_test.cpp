// The alert decision: sequences of series starts, step outcomes and stops, counted as the
// station counts them, and the alerts they make.
#include <ostream>
#include <string>

#include <gtest/gtest.h>

#include "alert_decision.h"

namespace tessel::alerts {
namespace {

// Inputs: S series started, G good picture, F failed capture, C failed conversion, X stop.
// Outputs, one per input: '.' nothing, f failing, r recovered, s stopped.
struct Sequence {
    uint32_t alertAfter;
    uint32_t failuresSoFar;  // the count the station starts with
    const char* inputs;
    const char* alerts;
};

// Feeds the inputs with the station's count: one more for each failed step, 0 after a good one,
// steps after a Stop included.
std::string Decide(const Sequence& sequence)
{
    AlertDecision decision(sequence.alertAfter, sequence.failuresSoFar);
    uint32_t failures = sequence.failuresSoFar;
    std::string alerts;
    for (const char input : std::string(sequence.inputs)) {
        std::optional<AlertEvent> event;
        switch (input) {
        case 'S':
            decision.SeriesStarted();
            break;
        case 'G':
            failures = 0;
            event = decision.StepFinished({StepResult::GoodPicture, "good", failures, ""});
            break;
        case 'F':
            event = decision.StepFinished({StepResult::FailedCapture, "no camera", ++failures, ""});
            break;
        case 'C':
            event = decision.StepFinished({StepResult::FailedConversion, "converter failed", ++failures, ""});
            break;
        case 'X':
            event = decision.SeriesStopped("");
            break;
        }
        alerts += event ? AlertKindName(event->kind)[0] : '.';
    }
    return alerts;
}

void PrintTo(const Sequence& sequence, std::ostream* out)
{
    *out << sequence.inputs << " with alert_after " << sequence.alertAfter << " from " << sequence.failuresSoFar;
}

class AlertDecisionTable : public ::testing::TestWithParam<Sequence> {};

TEST_P(AlertDecisionTable, MakesTheExpectedAlerts)
{
    const Sequence& sequence = GetParam();
    EXPECT_EQ(Decide(sequence), sequence.alerts) << "alert_after " << sequence.alertAfter << ", starting at "
                                                 << sequence.failuresSoFar << ", inputs " << sequence.inputs;
}

INSTANTIATE_TEST_SUITE_P(Sequences, AlertDecisionTable,
                         ::testing::Values(
                             // One failing at the N-th failure in a row, none for the ones after it.
                             Sequence{3, 0, "SFFFFFF", "...f..."},
                             // A good picture in between starts the count afresh.
                             Sequence{3, 0, "SFFGFFFFFGX", "......f..rs"},
                             // Failed conversions count like failed captures.
                             Sequence{3, 0, "SFCF", "...f"},
                             Sequence{3, 0, "SCCC", "...f"},
                             // Good pictures without a failing before them say nothing.
                             Sequence{2, 0, "SGGFGFF", "......f"},
                             // alert_after 1: every failure after a good picture.
                             Sequence{1, 0, "SFFGFG", ".f.rfr"},
                             // Recovered once, at the first good picture only.
                             Sequence{2, 0, "SFFGGFFG", "..fr..fr"},
                             // Stop while failing; a second stop and steps after it say nothing.
                             Sequence{3, 0, "SFFFXXGF", "...fs..."},
                             // The count goes on over a Stop: the next series recovers from the
                             // last one's failing, or fails with the failures before the Stop.
                             Sequence{3, 0, "SFFFXSGFF", "...fs.r.."},
                             Sequence{3, 0, "SFFXSFFF", "...s.f.."},
                             // A failure after the Stop was counted by the station but not seen
                             // here: the count jumps past N, which is enough.
                             Sequence{3, 0, "SFFXFSFF", "...s..f."},
                             // Stop without a started series; steps without a series (one picture on
                             // request) count, but make no `stopped`.
                             Sequence{3, 0, "X", "."},
                             Sequence{3, 0, "FFFX", "..f."},
                             Sequence{1000, 0, "SFFFFX", ".....s"},
                             // Started in the middle of a fault that the last run announced (or
                             // from cron, one picture a run): no second failing, but recovered.
                             Sequence{3, 5, "SFFG", "...r"},
                             Sequence{3, 3, "F", "."},
                             Sequence{3, 5, "G", "r"},
                             // Started before the count reached N: the next failure may reach it.
                             Sequence{3, 2, "F", "f"},
                             Sequence{3, 2, "G", "."}),
                         [](const auto& info) {
                             return std::string(info.param.inputs) + "_after" + std::to_string(info.param.alertAfter) +
                                    "_from" + std::to_string(info.param.failuresSoFar);
                         });

TEST(AlertDecision, EventsCarryTheStatusTheCountAndTheTime)
{
    AlertDecision decision(2, 0);
    decision.SeriesStarted();
    EXPECT_FALSE(decision.StepFinished({StepResult::FailedCapture, "no camera", 1, "t1"}));
    EXPECT_EQ(decision.StepFinished({StepResult::FailedConversion, "converter failed", 2, "t2"}),
              (AlertEvent{AlertKind::Failing, "converter failed", 2, "t2"}));
    EXPECT_FALSE(decision.StepFinished({StepResult::FailedCapture, "no camera", 3, "t3"}));
    // `recovered` says how many steps had failed in a row before it.
    EXPECT_EQ(decision.StepFinished({StepResult::GoodPicture, "done", 0, "t4"}),
              (AlertEvent{AlertKind::Recovered, "done", 3, "t4"}));
    EXPECT_FALSE(decision.StepFinished({StepResult::FailedCapture, "no camera", 1, "t5"}));
    EXPECT_EQ(decision.SeriesStopped("t6"), (AlertEvent{AlertKind::Stopped, "no camera", 1, "t6"}));
}

TEST(AlertDecision, StoppedBeforeAnyStepHasTheCountItStartedWith)
{
    AlertDecision decision(3, 4);
    decision.SeriesStarted();
    EXPECT_EQ(decision.SeriesStopped("t"), (AlertEvent{AlertKind::Stopped, "", 4, "t"}));
}

}  // namespace
}  // namespace tessel::alerts
