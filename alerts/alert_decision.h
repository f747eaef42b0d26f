// When the station's owner is told something: the alert decision, without any input or output.
// It is fed with every step's outcome and with the starts and stops of the series, and answers
// with the alert to send, if any:
//   failing    when the N-th failed step in a row happens (once, not at every further failure)
//   recovered  at the first good picture after a `failing`
//   stopped    when a started series stops (once per series)
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
    std::string status;  // the step's status text, as the station shows it
    std::string at;      // when the step ended: ISO 8601 local time with offset
};

enum class AlertKind { Failing, Recovered, Stopped };

// "failing", "recovered" or "stopped".
std::string_view AlertKindName(AlertKind kind);

struct AlertEvent {
    AlertKind kind = AlertKind::Failing;
    std::string lastStatus;  // the status text of the last step ("" when the series had none)
    uint32_t failures = 0;   // failed steps in a row up to this event (for `recovered`: before it)
    std::string at;          // when it happened: ISO 8601 local time with offset

    bool operator==(const AlertEvent&) const = default;
};

class AlertDecision {
public:
    // `alertAfter`: the failed steps in a row that make a `failing` (at least 1).
    explicit AlertDecision(uint32_t alertAfter);

    // A series begins: the counts start afresh.
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
    Series series_ = Series::None;
    bool failing_ = false;
    uint32_t failures_ = 0;
    std::string lastStatus_;
};

}  // namespace tessel::alerts
