#include "delivery_pace.h"

#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdint>
#include <cstring>
#include <stdexcept>
#include <string>
#include <vector>

namespace tessel::alerts {
namespace {

// The poll timeout that reaches `limit`, rounded up; 0 once it has passed.
int MillisecondsUntil(PaceClock::time_point limit)
{
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(limit - PaceClock::now()).count();
    return static_cast<int>(std::clamp<int64_t>(left, 0, INT_MAX));
}

}  // namespace

DeliveryPace::DeliveryPace() : doorbell_(eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK))
{
    if (!doorbell_.valid()) {
        throw std::runtime_error(std::string("cannot create an event descriptor: ") + std::strerror(errno));
    }
}

PaceClock::time_point DeliveryPace::Limit(PaceClock::time_point own) const
{
    const std::lock_guard lock(mutex_);
    return finishBy_ ? std::min(own, *finishBy_) : own;
}

bool DeliveryPace::Wait(std::span<pollfd> watched, PaceClock::time_point own)
{
    return Poll(watched, [this, own] { return Limit(own); });
}

bool DeliveryPace::Pause(PaceClock::duration delay)
{
    const auto own = PaceClock::now() + delay;
    Poll({}, [this, own] { return Finishing() ? PaceClock::now() : own; });
    return !Expired();
}

bool DeliveryPace::Expired() const
{
    const std::lock_guard lock(mutex_);
    return finishBy_ && PaceClock::now() >= *finishBy_;
}

void DeliveryPace::Ring()
{
    const uint64_t one = 1;
    [[maybe_unused]] const ssize_t ignored = write(doorbell_.get(), &one, sizeof one);
}

void DeliveryPace::Finish(PaceClock::time_point deadline)
{
    {
        const std::lock_guard lock(mutex_);
        finishBy_ = deadline;
    }
    Ring();
}

bool DeliveryPace::Finishing() const
{
    const std::lock_guard lock(mutex_);
    return finishBy_.has_value();
}

void DeliveryPace::AwaitRing()
{
    pollfd bell{doorbell_.get(), POLLIN, 0};
    while (poll(&bell, 1, -1) < 0 && errno == EINTR) {
    }
    Answer();
}

template <typename LimitNow>
bool DeliveryPace::Poll(std::span<pollfd> watched, LimitNow limitNow)
{
    std::vector<pollfd> all(watched.begin(), watched.end());
    all.push_back({doorbell_.get(), POLLIN, 0});
    while (true) {
        const int timeout = MillisecondsUntil(limitNow());
        if (timeout == 0) {
            return false;
        }
        const int ready = poll(all.data(), all.size(), timeout);
        if (ready < 0 && errno != EINTR) {
            return false;
        }
        if (ready > 0 && (all.back().revents & POLLIN) != 0) {
            Answer();
        }
        bool any = false;
        for (std::size_t i = 0; i < watched.size(); ++i) {
            watched[i].revents = ready > 0 ? all[i].revents : 0;
            any = any || watched[i].revents != 0;
        }
        if (any) {
            return true;
        }
    }
}

void DeliveryPace::Answer()
{
    uint64_t rings = 0;
    [[maybe_unused]] const ssize_t ignored = read(doorbell_.get(), &rings, sizeof rings);
}

}  // namespace tessel::alerts
