#include "progress_watch.h"

namespace tessel::service {

ProgressWatch::ProgressWatch(Clock::duration window, Clock::time_point start, ProgressCounters first)
    : window_(window), lastChange_(start), last_(first)
{
}

bool ProgressWatch::Moving(Clock::time_point now, ProgressCounters current)
{
    if (current != last_) {
        last_ = current;
        lastChange_ = now;
    }
    return now - lastChange_ < window_;
}

}  // namespace tessel::service
