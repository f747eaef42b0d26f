// When the station may take pictures: within set clock hours, while the sun is up, or where both
// allow. All functions take the instant as an argument; none reads the clock.
#pragma once

#include <cstdint>
#include <optional>

#include "clock_hours.h"
#include "sun_position.h"

namespace tessel::schedule {

// Capture while the sun's centre stands above `sunAltitude` degrees at `place`.
struct DaylightRule {
    Place place;
    double sunAltitude = -6;

    bool operator==(const DaylightRule&) const = default;
};

enum class WindowRule { daylight, hours };

struct WindowStart {
    int64_t epochSeconds = 0;
    // The rule that ends the wait last: the one that opens at `epochSeconds` (daylight when
    // both open then).
    WindowRule waitingFor = WindowRule::daylight;

    bool operator==(const WindowStart&) const = default;
};

// How far ahead the searches look: a year, so that any sun altitude the settings allow is
// reached everywhere on the Earth (the polar night at the poles lasts about six months).
constexpr int64_t kSearchHorizonSeconds = 366 * int64_t{86400};

class CaptureWindow {
public:
    // Without either rule capture is always allowed.
    CaptureWindow(std::optional<ClockHours> hours, std::optional<DaylightRule> daylight,
                  int64_t searchHorizonSeconds = kSearchHorizonSeconds);

    // Whether a picture may be taken at `epochSeconds`.
    bool Allows(int64_t epochSeconds) const;

    // The first second, at or after `epochSeconds`, at which capture is not allowed:
    // `epochSeconds` itself when it is outside the window; nothing when the window lasts beyond
    // the search horizon (no rules, or polar day).
    std::optional<int64_t> CurrentWindowEnd(int64_t epochSeconds) const;

    // The first second after `epochSeconds` at which a window opens: after the current window
    // when `epochSeconds` is inside one. Nothing when none opens within the search horizon
    // (polar night beyond it, hours that never meet daylight, or a window that never closes).
    std::optional<WindowStart> NextWindowStart(int64_t epochSeconds) const;

private:
    // The first second after `epochSeconds` at which the daylight rule opens or closes.
    std::optional<int64_t> NextDaylightChange(int64_t epochSeconds, int64_t until) const;

    std::optional<ClockHours> hours_;
    std::optional<DaylightRule> daylight_;
    int64_t searchHorizonSeconds_;
};

}  // namespace tessel::schedule
