// Where the sun stands in the sky of a place at an instant, computed with libnova.
#pragma once

#include <cstdint>

namespace tessel::schedule {

// A place on the Earth in decimal degrees, north and east positive.
struct Place {
    double latitude = 0;
    double longitude = 0;

    bool operator==(const Place&) const = default;
};

struct SunInSky {
    // Geometric altitude of the sun's centre above the horizon in degrees: no refraction added.
    // Thresholds that include refraction compare against it directly: -0.833 is sunrise and
    // sunset (34' of refraction at the horizon plus 16' of semidiameter), -6 civil twilight.
    double altitude = 0;
    // Local hour angle in degrees, 0 ≤ angle < 360: 0 when the sun crosses the meridian at its
    // highest (noon), 180 at its lowest (midnight); it grows by about 15 degrees an hour.
    double hourAngle = 0;
};

// The sun's apparent equatorial place for the equinox of the date, in degrees.
struct SunPlace {
    double rightAscension = 0;
    double declination = 0;
};

// Where the sun is at `epochSeconds` (seconds since 1970 UTC): libnova's planetary theory, some
// tens of microseconds a call. Safe to call from several threads (libnova's caches are guarded).
SunPlace SunPlaceAt(int64_t epochSeconds);

// The sun at `sun`, its place at `epochSeconds`, seen from `place`: about a microsecond.
SunInSky SunSeenFrom(const Place& place, const SunPlace& sun, int64_t epochSeconds);

// Both steps: the sun seen from `place` at `epochSeconds`.
SunInSky SunSeenFrom(const Place& place, int64_t epochSeconds);

}  // namespace tessel::schedule
