// A channel's delivery thread: alerts are posted from the station's thread and return at once;
// the thread delivers them one after another, in order. At shutdown the alerts still on their
// way get a bounded time to go out; what is left then is abandoned with a log line.
#pragma once

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>
#include <thread>

#include "alert_channel.h"
#include "alert_log.h"
#include "delivery_pace.h"

namespace tessel::alerts {

class DeliveryWorker {
public:
    // Alerts waiting behind the one being delivered; beyond that the oldest waiting is dropped.
    static constexpr std::size_t kMostWaiting = 16;

    DeliveryWorker(std::unique_ptr<AlertChannel> channel, AlertLog log);
    // Finishes at once if Finish was not called: what is left is abandoned.
    ~DeliveryWorker();
    DeliveryWorker(const DeliveryWorker&) = delete;
    DeliveryWorker& operator=(const DeliveryWorker&) = delete;

    // Queues `event` for delivery; ignored once finishing began.
    void Post(AlertEvent event);
    // Tells the thread to deliver what is left by `deadline` and end.
    void BeginFinishing(PaceClock::time_point deadline);
    // Waits for the thread to end (after BeginFinishing: by the deadline and one try's abort).
    void Join();

private:
    void Run();
    // The next alert to deliver; nothing when finishing and none is left.
    std::optional<AlertEvent> Next();
    void Report(const AlertEvent& event, const DeliveryReport& report);

    std::unique_ptr<AlertChannel> channel_;
    AlertLog log_;
    DeliveryPace pace_;
    std::mutex mutex_;
    std::deque<AlertEvent> waiting_;
    std::thread thread_;
};

}  // namespace tessel::alerts
