// The alert command: a program run without a shell and without arguments for every alert, with
// the alert in its environment (TESSEL_EVENT, TESSEL_STATION, TESSEL_LAST_STATUS,
// TESSEL_FAILURES, TESSEL_WEBDIR) on top of the station's. Its standard output and error go to
// the log line by line; it runs in its own process group, which is killed when the program takes
// longer than its time limit. One run at a time, on the delivery thread.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "alert_channel.h"
#include "alert_log.h"
#include "delivery_pace.h"

namespace tessel::alerts {

// The environment entries ("NAME=value") that describe `event` to the alert command.
std::vector<std::string> AlertEnvironment(const AlertEvent& event, const AlertSource& source);

class CommandChannel final : public AlertChannel {
public:
    CommandChannel(std::filesystem::path program, AlertSource source, AlertLog log, PaceClock::duration limit);

    std::string Name() const override;
    DeliveryReport Deliver(const AlertEvent& event, DeliveryPace& pace) override;

private:
    std::filesystem::path program_;
    AlertSource source_;
    AlertLog log_;
    PaceClock::duration limit_;
};

}  // namespace tessel::alerts
