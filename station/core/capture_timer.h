// The window timer that paces captures. Ticks arrive as OnTimer(id) calls on the window's
// thread. Arming an armed timer replaces its pending wait.
#pragma once

#include <cstdint>

namespace tessel {

// The one timer the station arms: the capture timer.
inline constexpr uint32_t kCaptureTimerId = 1;

// The longest wait Arm accepts (a window timer counts milliseconds in a signed int).
inline constexpr uint32_t kMaxTimerMilliseconds = 0x7FFFFFFFu;

class CaptureTimer {
public:
    virtual ~CaptureTimer() = default;
    virtual void Arm(uint32_t id, uint32_t milliseconds) = 0;
    virtual void Kill(uint32_t id) = 0;
};

}  // namespace tessel
