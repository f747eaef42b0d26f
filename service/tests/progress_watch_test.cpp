// The watchdog keeper's decision: progress is a change of the heartbeat or of the bytes read
// within the window, judged at the times given (an injected clock).
#include <gtest/gtest.h>

#include <vector>

#include "progress_watch.h"

namespace tessel::service {
namespace {

using namespace std::chrono_literals;

struct Step {
    std::chrono::milliseconds at;  // since the first reading
    ProgressCounters counters;
    bool moving;
};

struct Timeline {
    const char* name;
    std::vector<Step> steps;  // the first is the reading the watch starts with
};

// WatchdogSec of 20 s: a window of 10 s.
constexpr auto kWindow = 10s;

const std::vector<Timeline> kTimelines = {
    {"an idle loop beats", {{0s, {0, 0}, true}, {5s, {1, 0}, true}, {10s, {2, 0}, true}, {15s, {3, 0}, true}}},
    {"a loop stuck from the start", {{0s, {0, 0}, true}, {9900ms, {0, 0}, true}, {10s, {0, 0}, false}, {60s, {0, 0}, false}}},
    {"a long download reads while the loop cannot beat",
     {{0s, {3, 100}, true}, {5s, {3, 600}, true}, {30s, {3, 5000}, true}, {120s, {3, 90000}, true}}},
    {"the camera falls silent, then the loop beats again",
     {{0s, {3, 100}, true}, {5s, {3, 600}, true}, {12s, {3, 600}, true}, {15s, {3, 600}, false},
      {20s, {3, 600}, false}, {21s, {4, 600}, true}}},
    {"a reading taken late still sees the change it brings",
     {{0s, {1, 0}, true}, {40s, {2, 0}, true}, {49s, {2, 0}, true}, {50s, {2, 0}, false}}},
    {"a count that goes down (a thread ended) is a change", {{0s, {1, 900}, true}, {9s, {1, 900}, true},
                                                             {12s, {1, 400}, true}, {22s, {1, 400}, false}}},
};

TEST(ProgressWatchTest, MovingWhileACounterChangedWithinTheWindow)
{
    const ProgressWatch::Clock::time_point start{};
    for (const auto& timeline : kTimelines) {
        ProgressWatch watch(kWindow, start, timeline.steps.front().counters);
        for (const auto& step : timeline.steps) {
            EXPECT_EQ(watch.Moving(start + step.at, step.counters), step.moving)
                << timeline.name << ", at " << step.at.count() << " ms";
        }
    }
}

}  // namespace
}  // namespace tessel::service
