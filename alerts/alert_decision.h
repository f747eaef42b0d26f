// When the station's owner is told something: the alert decision, without any input or output.
// It follows the station's own count of failed steps in a row (which a station carries over from
// its last run), and answers each step and each start and stop of a series with the alert to
// send, if any:
//   failing    when a failed step brings the count to N (once, not at every further failure)
//   recovered  at the first good picture after the count had reached N
//   stopped    when a started series stops (once per series)
// Counting from the station's count lets a station that restarts in the middle of a fault, or a
// single picture taken from cron, go on where the last run left off: a count that was already N
// or more at the start means the last run sent `failing`.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tessel::alerts {

enum class StepResult { GoodPicture, FailedCapture, FailedConversion };

// A step ends once: with a failed capture, or when its picture's conversion ends (a good
// picture or a failed conversion).
struct StepOutcome {
    StepResult result = StepResult::GoodPicture;
    std::string status;     // the step's status text, as the station shows it
    uint32_t failures = 0;  // the station's count of failed steps in a row after this one
    std::string at;         // when the step ended: ISO 8601 local time with offset
};

enum class AlertKind { Failing, Recovered, Stopped };

// "failing", "recovered" or "stopped".
std::string_view AlertKindName(AlertKind kind);

struct AlertEvent {
    AlertKind kind = AlertKind::Failing;
    std::string lastStatus;  // the status text of the last step ("" when there was none)
    uint32_t failures = 0;   // failed steps in a row (for `recovered`: the ones it ended)
    std::string at;          // when it happened: ISO 8601 local time with offset

    bool operator==(const AlertEvent&) const = default;
};

class AlertDecision {
public:
    // `alertAfter`: the count that makes a `failing` (at least 1). `failuresSoFar`: the station's
    // count when it starts.
    AlertDecision(uint32_t alertAfter, uint32_t failuresSoFar);

    // A series begins.
    void SeriesStarted();
    // A step ended. Steps outside a series (a single picture on request) count as well; steps
    // that end after the series stopped (a conversion still running at Stop) are ignored until
    // the next series starts.
    std::optional<AlertEvent> StepFinished(const StepOutcome& outcome);
    // The series stopped at `at`; `stopped` only when one was started and has not stopped yet.
    std::optional<AlertEvent> SeriesStopped(const std::string& at);

private:
    enum class Series { None, Running, Stopped };

    uint32_t alertAfter_;
    uint32_t failures_;
    Series series_ = Series::None;
    std::string lastStatus_;
};

}  // namespace tessel::alerts
