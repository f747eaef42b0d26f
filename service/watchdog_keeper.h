// Feeds systemd's watchdog from a thread of its own for as long as the service makes progress
// (see ProgressWatch): the main loop's heartbeats, which it sends while idle and between the steps
// of a bounded wait, or bytes read by its threads, which grow throughout a capture however long it
// takes at a slow line speed. When nothing moved for half of WatchdogSec the feeding stops and
// systemd restarts the service; a process stopped whole (SIGSTOP) stops this thread too.
#pragma once

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <thread>

namespace tessel::service {

class WatchdogKeeper {
public:
    // `timeout` is systemd's WatchdogSec; `feed` sends WATCHDOG=1; `bytesRead` counts the bytes
    // read by the process's other threads.
    WatchdogKeeper(std::chrono::microseconds timeout, std::function<void()> feed,
                   std::function<uint64_t()> bytesRead);
    ~WatchdogKeeper();
    WatchdogKeeper(const WatchdogKeeper&) = delete;
    WatchdogKeeper& operator=(const WatchdogKeeper&) = delete;

    // How often the main loop should beat (and this thread looks): a quarter of WatchdogSec.
    std::chrono::microseconds Period() const { return period_; }
    // The main loop is alive. Safe from any thread.
    void Beat() { heartbeats_.fetch_add(1, std::memory_order_relaxed); }

private:
    void Run();

    std::chrono::microseconds period_;
    std::chrono::microseconds window_;
    std::function<void()> feed_;
    std::function<uint64_t()> bytesRead_;
    std::atomic<uint64_t> heartbeats_{0};
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stopping_ = false;
    std::thread thread_;
};

}  // namespace tessel::service
