// Test helpers: a time zone set for one test, and instants written as calendar times.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include <gtest/gtest.h>

namespace tessel::schedule::testing {

// Sets TZ for the process while it lives and puts the previous value back afterwards.
class ScopedTimeZone {
public:
    explicit ScopedTimeZone(const std::string& zone);
    ~ScopedTimeZone();
    ScopedTimeZone(const ScopedTimeZone&) = delete;
    ScopedTimeZone& operator=(const ScopedTimeZone&) = delete;

private:
    std::optional<std::string> previous_;
};

// The instant at which UTC reads the given date and time.
int64_t Utc(int year, int month, int day, int hour, int minute, int second = 0);

// The instant at which the local clock reads the given date and time; for times the clock reads
// exactly once.
int64_t Local(int year, int month, int day, int hour, int minute, int second = 0);

// "2026-03-29 03:00:00 CEST" in the current time zone, for failure messages.
std::string LocalText(int64_t epochSeconds);
std::string LocalText(const std::optional<int64_t>& epochSeconds);

}  // namespace tessel::schedule::testing
