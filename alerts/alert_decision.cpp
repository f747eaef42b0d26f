#include "alert_decision.h"

#include <algorithm>

namespace tessel::alerts {

std::string_view AlertKindName(AlertKind kind)
{
    switch (kind) {
    case AlertKind::Failing:
        return "failing";
    case AlertKind::Recovered:
        return "recovered";
    case AlertKind::Stopped:
        return "stopped";
    }
    return "unknown";
}

AlertDecision::AlertDecision(uint32_t alertAfter, uint32_t failuresSoFar)
    : alertAfter_(std::max<uint32_t>(alertAfter, 1)), failures_(failuresSoFar)
{
}

void AlertDecision::SeriesStarted()
{
    series_ = Series::Running;
}

std::optional<AlertEvent> AlertDecision::StepFinished(const StepOutcome& outcome)
{
    if (series_ == Series::Stopped) {
        return std::nullopt;
    }
    const uint32_t before = failures_;
    lastStatus_ = outcome.status;
    if (outcome.result == StepResult::GoodPicture) {
        failures_ = 0;
        if (before < alertAfter_) {
            return std::nullopt;
        }
        return AlertEvent{AlertKind::Recovered, outcome.status, before, outcome.at};
    }
    failures_ = outcome.failures;
    // The count may jump (steps that ended while the series was stopped): crossing N is enough.
    if (before >= alertAfter_ || failures_ < alertAfter_) {
        return std::nullopt;
    }
    return AlertEvent{AlertKind::Failing, outcome.status, failures_, outcome.at};
}

std::optional<AlertEvent> AlertDecision::SeriesStopped(const std::string& at)
{
    if (series_ != Series::Running) {
        return std::nullopt;
    }
    series_ = Series::Stopped;
    return AlertEvent{AlertKind::Stopped, lastStatus_, failures_, at};
}

}  // namespace tessel::alerts
