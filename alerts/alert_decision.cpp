#include "alert_decision.h"

#include <algorithm>
#include <limits>

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

AlertDecision::AlertDecision(uint32_t alertAfter) : alertAfter_(std::max<uint32_t>(alertAfter, 1)) {}

void AlertDecision::SeriesStarted()
{
    series_ = Series::Running;
    failing_ = false;
    failures_ = 0;
    lastStatus_.clear();
}

std::optional<AlertEvent> AlertDecision::StepFinished(const StepOutcome& outcome)
{
    if (series_ == Series::Stopped) {
        return std::nullopt;
    }
    lastStatus_ = outcome.status;
    if (outcome.result == StepResult::GoodPicture) {
        const uint32_t before = failures_;
        failures_ = 0;
        if (!failing_) {
            return std::nullopt;
        }
        failing_ = false;
        return AlertEvent{AlertKind::Recovered, outcome.status, before, outcome.at};
    }
    if (failures_ < std::numeric_limits<uint32_t>::max()) {
        ++failures_;
    }
    if (failing_ || failures_ < alertAfter_) {
        return std::nullopt;
    }
    failing_ = true;
    return AlertEvent{AlertKind::Failing, outcome.status, failures_, outcome.at};
}

std::optional<AlertEvent> AlertDecision::SeriesStopped(const std::string& at)
{
    if (series_ != Series::Running) {
        return std::nullopt;
    }
    series_ = Series::Stopped;
    failing_ = false;
    return AlertEvent{AlertKind::Stopped, lastStatus_, failures_, at};
}

}  // namespace tessel::alerts
