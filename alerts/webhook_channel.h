// The webhook: every alert is posted as JSON
//   {"event": "failing", "station": "roof", "last_status": "…", "failures": 3,
//    "at": "2026-12-10T08:30:05+01:00"}
// to the configured http:// or https:// URL through libcurl. Each try has a short time limit; a
// try that fails (no connection, no answer in time, an answer other than 2xx) is repeated after
// the given delays, and when the last try fails the alert is given up. A user and password in
// the URL are sent as HTTP basic authentication and never logged.
#pragma once

#include <string>
#include <vector>

#include "alert_channel.h"
#include "alert_log.h"
#include "delivery_pace.h"

namespace tessel::alerts {

// The request body for `event`. Text that is not UTF-8 is carried with replacement characters.
std::string AlertJson(const AlertEvent& event, const AlertSource& source);

struct WebhookTimings {
    PaceClock::duration tryLimit;                 // one try, connecting included
    std::vector<PaceClock::duration> retryDelays;  // the pause before each further try
};

class WebhookChannel final : public AlertChannel {
public:
    // `url` must have passed WebhookOrigin.
    WebhookChannel(std::string url, AlertSource source, AlertLog log, WebhookTimings timings);

    std::string Name() const override;
    DeliveryReport Deliver(const AlertEvent& event, DeliveryPace& pace) override;

private:
    // One POST; "" when the server took it, else why not.
    std::string Try(const std::string& body, DeliveryPace& pace) const;

    std::string url_;
    std::string origin_;
    AlertSource source_;
    AlertLog log_;
    WebhookTimings timings_;
};

}  // namespace tessel::alerts
