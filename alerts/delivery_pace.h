// How a delivery thread waits: on its own descriptors until its own limit, woken by a doorbell
// when something changes. Once the thread is told to finish, no wait lasts past the finishing
// deadline, and pauses between tries end at once so that what is left is tried in the time that
// remains. Waits are relative poll timeouts, never waits on an absolute clock.
#pragma once

#include <poll.h>

#include <chrono>
#include <mutex>
#include <optional>
#include <span>

#include "file_descriptor.h"

namespace tessel::alerts {

using PaceClock = std::chrono::steady_clock;

class DeliveryPace {
public:
    DeliveryPace();

    // `own`, or the finishing deadline when finishing and that comes first.
    PaceClock::time_point Limit(PaceClock::time_point own) const;
    // Waits until one of `watched` is ready (true) or Limit(`own`) passes (false). Descriptors
    // below 0 are not watched.
    bool Wait(std::span<pollfd> watched, PaceClock::time_point own);
    // Waits `delay`, or not at all once finishing; false when the finishing deadline has passed.
    bool Pause(PaceClock::duration delay);
    // Whether the finishing deadline has passed: what is left is abandoned.
    bool Expired() const;

    // The delivery thread's owner: rings the doorbell, after a change of its own state.
    void Ring();
    // From now on the thread finishes by `deadline`.
    void Finish(PaceClock::time_point deadline);
    bool Finishing() const;
    // Waits for the doorbell, without a limit.
    void AwaitRing();

private:
    // Polls `watched` and the doorbell until one is ready or the limit `limitNow()` gives passes.
    template <typename LimitNow>
    bool Poll(std::span<pollfd> watched, LimitNow limitNow);
    void Answer();

    mutable std::mutex mutex_;
    std::optional<PaceClock::time_point> finishBy_;
    FileDescriptor doorbell_;
};

}  // namespace tessel::alerts
