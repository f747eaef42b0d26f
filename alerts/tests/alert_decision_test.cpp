// The alert decision: sequences of series starts, step outcomes and stops, and the alerts they
// make.
#include <gtest/gtest.h>

#include "alert_decision.h"

namespace tessel::alerts {
namespace {

// Inputs: S series started, G good picture, F failed capture, C failed conversion, X stop.
// Outputs, one per input: '.' nothing, f failing, r recovered, s stopped.
struct Sequence {
    uint32_t alertAfter;
    const char* inputs;
    const char* alerts;
};

std::string Decide(const Sequence& sequence)
{
    AlertDecision decision(sequence.alertAfter);
    std::string alerts;
    for (const char input : std::string(sequence.inputs)) {
        std::optional<AlertEvent> event;
        switch (input) {
        case 'S':
            decision.SeriesStarted();
            break;
        case 'G':
            event = decision.StepFinished({StepResult::GoodPicture, "good", ""});
            break;
        case 'F':
            event = decision.StepFinished({StepResult::FailedCapture, "no camera", ""});
            break;
        case 'C':
            event = decision.StepFinished({StepResult::FailedConversion, "converter failed", ""});
            break;
        case 'X':
            event = decision.SeriesStopped("");
            break;
        }
        alerts += event ? AlertKindName(event->kind)[0] : '.';
    }
    return alerts;
}

class AlertDecisionTable : public ::testing::TestWithParam<Sequence> {};

TEST_P(AlertDecisionTable, MakesTheExpectedAlerts)
{
    EXPECT_EQ(Decide(GetParam()), GetParam().alerts) << "alert_after " << GetParam().alertAfter << ", inputs "
                                                     << GetParam().inputs;
}

INSTANTIATE_TEST_SUITE_P(Sequences, AlertDecisionTable,
                         ::testing::Values(
                             // One failing at the N-th failure in a row, none for the ones after it.
                             Sequence{3, "SFFFFFF", "...f..."},
                             // A good picture in between starts the count afresh.
                             Sequence{3, "SFFGFFFFFGX", "......f..rs"},
                             // Failed conversions count like failed captures.
                             Sequence{3, "SFCF", "...f"},
                             Sequence{3, "SCCC", "...f"},
                             // Good pictures without a failing before them say nothing.
                             Sequence{2, "SGGFGFF", "......f"},
                             // alert_after 1: every failure after a good picture.
                             Sequence{1, "SFFGFG", ".f.rfr"},
                             // Recovered once, at the first good picture only.
                             Sequence{2, "SFFGGFFG", "..fr..fr"},
                             // Stop while failing; a second stop and steps after it say nothing.
                             Sequence{3, "SFFFXXGF", "...fs..."},
                             // A new series counts afresh, and is not `failing` from the last one.
                             Sequence{3, "SFFFXSGFF", "...fs...."},
                             Sequence{3, "SFFXFSFFF", "...s....f"},
                             // Stop without a started series; steps without a series (one picture on
                             // request) count, but make no `stopped`.
                             Sequence{3, "X", "."},
                             Sequence{3, "FFFX", "..f."},
                             Sequence{1000, "SFFFFX", ".....s"}));

TEST(AlertDecision, EventsCarryTheStatusTheCountAndTheTime)
{
    AlertDecision decision(2);
    decision.SeriesStarted();
    EXPECT_FALSE(decision.StepFinished({StepResult::FailedCapture, "no camera", "t1"}));
    EXPECT_EQ(decision.StepFinished({StepResult::FailedConversion, "converter failed", "t2"}),
              (AlertEvent{AlertKind::Failing, "converter failed", 2, "t2"}));
    EXPECT_FALSE(decision.StepFinished({StepResult::FailedCapture, "no camera", "t3"}));
    // `recovered` says how many steps had failed in a row before it.
    EXPECT_EQ(decision.StepFinished({StepResult::GoodPicture, "done", "t4"}),
              (AlertEvent{AlertKind::Recovered, "done", 3, "t4"}));
    EXPECT_FALSE(decision.StepFinished({StepResult::FailedCapture, "no camera", "t5"}));
    EXPECT_EQ(decision.SeriesStopped("t6"), (AlertEvent{AlertKind::Stopped, "no camera", 1, "t6"}));
}

TEST(AlertDecision, StoppedBeforeAnyStepHasNoStatus)
{
    AlertDecision decision(3);
    decision.SeriesStarted();
    EXPECT_EQ(decision.SeriesStopped("t"), (AlertEvent{AlertKind::Stopped, "", 0, "t"}));
}

}  // namespace
}  // namespace tessel::alerts
