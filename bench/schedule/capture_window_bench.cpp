// Times the capture window's questions over instants spread through a year, for a mid-latitude
// station (sunrise-to-sunset with set hours) and a polar one (where waits last weeks).
// Prints microseconds per call, the fastest of a few rounds (the machines are shared and noisy);
// run it by hand: build/<dir>/bench/schedule/capture_window_bench
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <functional>

#include "capture_window.h"

namespace {

using tessel::schedule::CaptureWindow;
using tessel::schedule::ClockHours;
using tessel::schedule::DaylightRule;
using tessel::schedule::Place;

constexpr int64_t kFirstInstant = 1767225600;  // 2026-01-01 00:00 UTC
constexpr int kCalls = 400;
constexpr int kRounds = 5;
// Spreads the calls over a year at a step that lands at every time of day.
constexpr int64_t kStepSeconds = 365 * 86400 / kCalls + 3607;

double MicrosecondsPerCall(const std::function<void(int64_t)>& call)
{
    double fastest = 1e300;
    for (int round = 0; round < kRounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        for (int i = 0; i < kCalls; ++i) {
            call(kFirstInstant + i * kStepSeconds);
        }
        const std::chrono::duration<double, std::micro> spent = std::chrono::steady_clock::now() - start;
        fastest = std::min(fastest, spent.count() / kCalls);
    }
    return fastest;
}

void Report(const char* name, const CaptureWindow& window)
{
    int64_t sink = 0;
    const double allows = MicrosecondsPerCall([&](int64_t t) { sink += window.Allows(t); });
    const double end = MicrosecondsPerCall([&](int64_t t) { sink += window.CurrentWindowEnd(t).value_or(0); });
    const double next = MicrosecondsPerCall([&](int64_t t) {
        const auto start = window.NextWindowStart(t);
        sink += start ? start->epochSeconds : 0;
    });
    std::printf("%-34s Allows %8.1f us  CurrentWindowEnd %8.1f us  NextWindowStart %9.1f us  (%lld)\n", name,
                allows, end, next, static_cast<long long>(sink % 10));
}

}  // namespace

int main()
{
    setenv("TZ", "Europe/Berlin", 1);
    tzset();
    const DaylightRule berlin{Place{52.52, 13.405}, -6};
    const DaylightRule tromso{Place{69.65, 18.96}, -0.833};
    Report("hours 08:00-18:00", CaptureWindow(ClockHours{480, 1080}, std::nullopt));
    Report("daylight Berlin -6", CaptureWindow(std::nullopt, berlin));
    Report("daylight Berlin -6 + hours", CaptureWindow(ClockHours{480, 1080}, berlin));
    Report("daylight Tromso -0.833 (polar)", CaptureWindow(std::nullopt, tromso));
    return 0;
}
