// Whether the service still makes progress, judged from counters that move while it works: the
// heartbeats of its main loop (and of the bounded waits it runs), and the bytes its threads have
// read (a camera download, however slow, reads all the time). Progress is a change of any counter
// within the last `window`; a loop that is stuck changes none.
#pragma once

#include <chrono>
#include <cstdint>

namespace tessel::service {

struct ProgressCounters {
    uint64_t heartbeats = 0;
    uint64_t bytesRead = 0;

    bool operator==(const ProgressCounters&) const = default;
};

class ProgressWatch {
public:
    using Clock = std::chrono::steady_clock;

    // The first reading, taken at `start`, counts as progress.
    ProgressWatch(Clock::duration window, Clock::time_point start, ProgressCounters first);

    // Takes the reading `current` at `now`; true while a counter changed within the window.
    bool Moving(Clock::time_point now, ProgressCounters current);

private:
    Clock::duration window_;
    Clock::time_point lastChange_;
    ProgressCounters last_;
};

}  // namespace tessel::service
