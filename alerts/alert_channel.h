// One way of telling the station's owner: running the alert command, or posting to the webhook.
// A channel delivers one alert at a time on its delivery thread and waits only through the
// DeliveryPace it is given, so that shutting down can cut its waits short.
#pragma once

#include <filesystem>
#include <string>

#include "alert_decision.h"

namespace tessel::alerts {

class DeliveryPace;

// Who the alerts are about.
struct AlertSource {
    std::string station;              // the settings file's base name without ".conf"
    std::filesystem::path webdir;     // the station's web directory
};

enum class DeliveryResult { Delivered, Failed, Abandoned };

struct DeliveryReport {
    DeliveryResult result = DeliveryResult::Delivered;
    std::string reason;  // why it failed; "" otherwise
};

class AlertChannel {
public:
    virtual ~AlertChannel() = default;

    // The channel in log lines, e.g. "alert_url https://chat.example.net" (never a credential).
    virtual std::string Name() const = 0;
    // Delivers `event`, logging what happens on the way; the final outcome is the caller's to log.
    // Returns Abandoned when the pace's finishing deadline passed before it was delivered.
    virtual DeliveryReport Deliver(const AlertEvent& event, DeliveryPace& pace) = 0;
};

}  // namespace tessel::alerts
