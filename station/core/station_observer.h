// Told about the end of every capture cycle and about Stop, after the status line is final. The
// health file and the headless service's log listen here; the window needs no one.
#pragma once

#include <cstdint>
#include <string>

namespace tessel {

class StationObserver {
public:
    virtual ~StationObserver() = default;
    // A cycle that began at `startEpoch` (seconds) ended with the status line `status`.
    virtual void CycleFinished(int64_t startEpoch, const std::string& status) = 0;
    // Stop ended the series; `status` is the stop's status line.
    virtual void Stopped(const std::string& status) = 0;
};

}  // namespace tessel
