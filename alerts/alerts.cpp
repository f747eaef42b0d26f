#include "alerts.h"

#include <curl/curl.h>

#include "command_channel.h"
#include "delivery_worker.h"
#include "webhook_channel.h"

namespace tessel::alerts {

Alerts::Alerts(const AlertSettings& settings, AlertSource source, uint32_t failuresSoFar, AlertLog log,
               AlertTimings timings)
    : decision_(settings.alertAfter, failuresSoFar), finishGrace_(timings.finishGrace), usesCurl_(!settings.url.empty())
{
    // libcurl's global state is set up here, on the caller's thread, before a thread uses it.
    if (usesCurl_) {
        curl_global_init(CURL_GLOBAL_DEFAULT);
    }
    if (!settings.command.empty()) {
        workers_.push_back(std::make_unique<DeliveryWorker>(
            std::make_unique<CommandChannel>(settings.command, source, log, timings.commandLimit), log));
    }
    if (usesCurl_) {
        workers_.push_back(std::make_unique<DeliveryWorker>(
            std::make_unique<WebhookChannel>(settings.url, source, log,
                                             WebhookTimings{timings.tryLimit, timings.retryDelays}),
            log));
    }
}

Alerts::~Alerts()
{
    Finish();
    if (usesCurl_) {
        curl_global_cleanup();
    }
}

void Alerts::SeriesStarted()
{
    decision_.SeriesStarted();
}

void Alerts::StepFinished(const StepOutcome& outcome)
{
    if (!workers_.empty()) {
        Send(decision_.StepFinished(outcome));
    }
}

void Alerts::SeriesStopped(const std::string& at)
{
    if (!workers_.empty()) {
        Send(decision_.SeriesStopped(at));
    }
}

void Alerts::Finish()
{
    // Every channel gets the same deadline and uses it at the same time.
    const auto deadline = PaceClock::now() + finishGrace_;
    for (const auto& worker : workers_) {
        worker->BeginFinishing(deadline);
    }
    for (const auto& worker : workers_) {
        worker->Join();
    }
}

void Alerts::Send(const std::optional<AlertEvent>& event)
{
    if (!event) {
        return;
    }
    for (const auto& worker : workers_) {
        worker->Post(*event);
    }
}

}  // namespace tessel::alerts
