// When the sun's centre next passes a given altitude: sunrise, sunset, the start or end of
// twilight, found by searching the altitude itself so that it holds in polar night and polar day.
#pragma once

#include <cstdint>
#include <optional>

#include "sun_position.h"

namespace tessel::schedule {

// Whether the sun's centre stands above `altitude` degrees (see SunInSky::altitude).
bool SunAbove(const Place& place, double altitude, int64_t epochSeconds);

// The first whole second after `from`, and not after `until`, at which the sun's centre is on the
// other side of `altitude` than at `from` (to about a second); nothing when it stays on its side
// until then: polar night or polar day beyond `until`.
//
// Between the sun's highest and lowest points of a day its altitude only rises or only falls, so
// the search looks at those turning points (found from the hour angle) and bisects the half day
// in which the side changes. Looking at the turning points catches the sun that peeps over the
// threshold for a few minutes at the end of polar night. Cost: two of libnova's sun places per
// day searched and two to check the crossing found; the bisection interpolates between them.
std::optional<int64_t> NextSunCrossing(const Place& place, double altitude, int64_t from, int64_t until);

}  // namespace tessel::schedule
