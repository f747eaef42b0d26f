// Alerts for the station's owner: the decision when to tell (AlertDecision) and the delivery
// through the configured alert command and webhook, each on its own thread, so that the calls
// below return at once and never delay a capture. With no alert command and no webhook
// configured nothing is decided or sent, not even `stopped`.
//
// Driving it (all calls from the station's thread):
//   SeriesStarted()        when a series starts
//   StepFinished(outcome)  once per step: at a failed capture, or when the picture's conversion
//                          ended (good picture or failed conversion), with the station's count of
//                          failed steps in a row after it
//   SeriesStopped(at)      at Stop; sends `stopped` once for a series that was started
//   Finish()               at shutdown, after SeriesStopped: waits up to the grace time (5 s)
//                          for alerts still on their way, abandons the rest with a log line each,
//                          kills and reaps a running alert command and ends the threads. The
//                          destructor does the same.
// The delivery threads block every signal, so process signals (and a signal descriptor's
// signals) stay with the station's threads whenever Alerts is made; the programs they start get
// an empty signal mask and default dispositions.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "alert_channel.h"
#include "alert_decision.h"
#include "alert_log.h"
#include "alert_settings.h"
#include "delivery_pace.h"

namespace tessel::alerts {

class DeliveryWorker;

// How long things may take; tests shorten them.
struct AlertTimings {
    PaceClock::duration commandLimit = std::chrono::seconds(30);  // then its process group is killed
    PaceClock::duration tryLimit = std::chrono::seconds(10);      // one webhook try
    std::vector<PaceClock::duration> retryDelays{std::chrono::seconds(30), std::chrono::minutes(2),
                                                 std::chrono::minutes(10)};
    PaceClock::duration finishGrace = std::chrono::seconds(5);  // for alerts on their way at Finish
};

class Alerts {
public:
    // `failuresSoFar`: the station's count of failed steps in a row when it starts.
    Alerts(const AlertSettings& settings, AlertSource source, uint32_t failuresSoFar, AlertLog log,
           AlertTimings timings = {});
    ~Alerts();
    Alerts(const Alerts&) = delete;
    Alerts& operator=(const Alerts&) = delete;

    void SeriesStarted();
    void StepFinished(const StepOutcome& outcome);
    void SeriesStopped(const std::string& at);
    // Later calls send nothing.
    void Finish();

private:
    void Send(const std::optional<AlertEvent>& event);

    AlertDecision decision_;
    PaceClock::duration finishGrace_;
    bool usesCurl_;
    std::vector<std::unique_ptr<DeliveryWorker>> workers_;
};

}  // namespace tessel::alerts
