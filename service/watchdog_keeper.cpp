#include "watchdog_keeper.h"

#include "progress_watch.h"

namespace tessel::service {

WatchdogKeeper::WatchdogKeeper(std::chrono::microseconds timeout, std::function<void()> feed,
                               std::function<uint64_t()> bytesRead)
    : period_(timeout / 4),
      window_(timeout / 2),
      feed_(std::move(feed)),
      bytesRead_(std::move(bytesRead)),
      thread_([this] { Run(); })
{
}

WatchdogKeeper::~WatchdogKeeper()
{
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

void WatchdogKeeper::Run()
{
    const auto reading = [this] { return ProgressCounters{heartbeats_.load(std::memory_order_relaxed), bytesRead_()}; };
    ProgressWatch watch(window_, ProgressWatch::Clock::now(), reading());
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (watch.Moving(ProgressWatch::Clock::now(), reading())) {
            feed_();
        }
        wake_.wait_for(lock, period_, [this] { return stopping_; });
    }
}

}  // namespace tessel::service
