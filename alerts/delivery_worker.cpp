#include "delivery_worker.h"

#include <signal.h>

#include <string>

namespace tessel::alerts {
namespace {

std::string Alert(const AlertEvent& event)
{
    return "alert " + std::string(AlertKindName(event.kind));
}

// Starts `thread` with every signal blocked: process signals stay with the station's thread (or
// its signal descriptor), whatever the caller's mask.
class AllSignalsBlocked {
public:
    AllSignalsBlocked()
    {
        sigset_t all;
        sigfillset(&all);
        pthread_sigmask(SIG_SETMASK, &all, &saved_);
    }
    AllSignalsBlocked(const AllSignalsBlocked&) = delete;
    AllSignalsBlocked& operator=(const AllSignalsBlocked&) = delete;
    ~AllSignalsBlocked() { pthread_sigmask(SIG_SETMASK, &saved_, nullptr); }

private:
    sigset_t saved_{};
};

template <typename Body>
std::thread ThreadWithoutSignals(Body body)
{
    const AllSignalsBlocked blocked;
    return std::thread(std::move(body));
}

}  // namespace

DeliveryWorker::DeliveryWorker(std::unique_ptr<AlertChannel> channel, AlertLog log)
    : channel_(std::move(channel)), log_(std::move(log))
{
    thread_ = ThreadWithoutSignals([this] { Run(); });
}

DeliveryWorker::~DeliveryWorker()
{
    BeginFinishing(PaceClock::now());
    Join();
}

void DeliveryWorker::Post(AlertEvent event)
{
    if (pace_.Finishing()) {
        return;
    }
    std::optional<AlertEvent> dropped;
    {
        const std::lock_guard lock(mutex_);
        if (waiting_.size() >= kMostWaiting) {
            dropped = std::move(waiting_.front());
            waiting_.pop_front();
        }
        waiting_.push_back(std::move(event));
    }
    pace_.Ring();
    if (dropped) {
        log_(AlertLogLevel::Warning, Alert(*dropped) + " dropped: too many alerts waiting for " + channel_->Name());
    }
}

void DeliveryWorker::BeginFinishing(PaceClock::time_point deadline)
{
    if (!pace_.Finishing()) {
        pace_.Finish(deadline);
    }
}

void DeliveryWorker::Join()
{
    if (thread_.joinable()) {
        thread_.join();
    }
}

void DeliveryWorker::Run()
{
    while (const auto event = Next()) {
        const DeliveryReport report =
            pace_.Expired() ? DeliveryReport{DeliveryResult::Abandoned, {}} : channel_->Deliver(*event, pace_);
        Report(*event, report);
    }
}

std::optional<AlertEvent> DeliveryWorker::Next()
{
    while (true) {
        {
            const std::lock_guard lock(mutex_);
            if (!waiting_.empty()) {
                AlertEvent event = std::move(waiting_.front());
                waiting_.pop_front();
                return event;
            }
        }
        if (pace_.Finishing()) {
            return std::nullopt;
        }
        pace_.AwaitRing();
    }
}

void DeliveryWorker::Report(const AlertEvent& event, const DeliveryReport& report)
{
    switch (report.result) {
    case DeliveryResult::Delivered:
        log_(AlertLogLevel::Info, Alert(event) + " delivered through " + channel_->Name());
        break;
    case DeliveryResult::Failed:
        log_(AlertLogLevel::Warning,
             Alert(event) + " could not be delivered through " + channel_->Name() + ": " + report.reason);
        break;
    case DeliveryResult::Abandoned:
        log_(AlertLogLevel::Warning, Alert(event) + " abandoned at shutdown: not delivered through " +
                                         channel_->Name() + " in time");
        break;
    }
}

}  // namespace tessel::alerts
