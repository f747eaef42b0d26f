#include "sun_crossing.h"

#include <algorithm>
#include <cmath>

namespace tessel::schedule {
namespace {

// The sun's hour angle grows by 360 degrees in a mean solar day; the true rate differs by less
// than a tenth of a percent, which puts a turning point off by seconds at most.
constexpr double kSecondsPerDegree = 86400.0 / 360.0;
// A turning point closer than this is the one the search stands on: take the following one.
constexpr double kShortestStepSeconds = 60;
// How far the crossing found with interpolated places of the sun may move when checked with
// libnova's own: they differ by well under a second, this is a bound for the loop.
constexpr int64_t kMostSettlingSeconds = 16;

// An instant of the search with the sun's place then.
struct SunAt {
    int64_t epochSeconds;
    SunPlace place;
};

// The instant of the sun's next highest (hour angle 0) or lowest (hour angle 180) point after
// `epochSeconds`, at which its hour angle was `hourAngle`.
int64_t NextTurningPoint(int64_t epochSeconds, double hourAngle)
{
    double degrees = (hourAngle < 180.0 ? 180.0 : 360.0) - hourAngle;
    if (degrees * kSecondsPerDegree < kShortestStepSeconds) {
        degrees += 180.0;
    }
    return epochSeconds + std::llround(degrees * kSecondsPerDegree);
}

// The sun's place at `epochSeconds` between two known ones at most half a day apart, taken on the
// straight line between them. The sun's place curves so little in half a day (its declination by
// under an arc second from the line) that this changes a crossing by well under a second, and
// spares the bisection libnova's costly planetary theory.
SunPlace SunBetween(const SunAt& before, const SunAt& after, int64_t epochSeconds)
{
    const double fraction = static_cast<double>(epochSeconds - before.epochSeconds) /
                            static_cast<double>(after.epochSeconds - before.epochSeconds);
    // The right ascension may pass 360 degrees between the two.
    const double raChange = std::fmod(after.place.rightAscension - before.place.rightAscension + 540.0, 360.0) - 180.0;
    return {std::fmod(before.place.rightAscension + fraction * raChange + 360.0, 360.0),
            before.place.declination + fraction * (after.place.declination - before.place.declination)};
}

// The first second in (`sameSide`, `otherSide`] on the other side of `altitude` than `sameSide`,
// given that the altitude only rises or only falls between the two.
int64_t Bisect(const Place& place, double altitude, const SunAt& sameSide, const SunAt& otherSide, bool above)
{
    int64_t before = sameSide.epochSeconds;
    int64_t after = otherSide.epochSeconds;
    while (after - before > 1) {
        const int64_t middle = before + (after - before) / 2;
        const SunInSky sun = SunSeenFrom(place, SunBetween(sameSide, otherSide, middle), middle);
        ((sun.altitude > altitude) == above ? before : after) = middle;
    }
    return after;
}

// Moves `crossing`, found with interpolated places, by the second or so it may differ from
// libnova's own places, so that it agrees with SunAbove: the first second on the other side.
int64_t Settle(const Place& place, double altitude, int64_t crossing, bool above)
{
    for (int step = 0; step < kMostSettlingSeconds && SunAbove(place, altitude, crossing) == above; ++step) {
        ++crossing;
    }
    for (int step = 0; step < kMostSettlingSeconds && SunAbove(place, altitude, crossing - 1) != above; ++step) {
        --crossing;
    }
    return crossing;
}

}  // namespace

bool SunAbove(const Place& place, double altitude, int64_t epochSeconds)
{
    return SunSeenFrom(place, epochSeconds).altitude > altitude;
}

std::optional<int64_t> NextSunCrossing(const Place& place, double altitude, int64_t from, int64_t until)
{
    SunAt start{from, SunPlaceAt(from)};
    SunInSky sun = SunSeenFrom(place, start.place, from);
    const bool above = sun.altitude > altitude;
    while (start.epochSeconds < until) {
        const int64_t endSeconds = std::min(NextTurningPoint(start.epochSeconds, sun.hourAngle), until);
        const SunAt end{endSeconds, SunPlaceAt(endSeconds)};
        sun = SunSeenFrom(place, end.place, endSeconds);
        if ((sun.altitude > altitude) != above) {
            return Settle(place, altitude, Bisect(place, altitude, start, end, above), above);
        }
        start = end;
    }
    return std::nullopt;
}

}  // namespace tessel::schedule
