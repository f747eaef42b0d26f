#include "sun_position.h"

#include <libnova/dynamical_time.h>
#include <libnova/julian_day.h>
#include <libnova/precession.h>
#include <libnova/sidereal_time.h>
#include <libnova/solar.h>
#include <libnova/transform.h>
#include <libnova/utility.h>

#include <cmath>
#include <ctime>
#include <mutex>

namespace tessel::schedule {
namespace {

// libnova keeps the last nutation and planet positions it computed in unguarded static variables.
std::mutex& LibnovaLock()
{
    static std::mutex lock;
    return lock;
}

double WrapDegrees(double angle)
{
    const double wrapped = std::fmod(angle, 360.0);
    return wrapped < 0 ? wrapped + 360.0 : wrapped;
}

double JulianDay(int64_t epochSeconds)
{
    std::time_t moment = static_cast<std::time_t>(epochSeconds);
    return ln_get_julian_from_timet(&moment);
}

}  // namespace

SunPlace SunPlaceAt(int64_t epochSeconds)
{
    const std::lock_guard guard(LibnovaLock());
    const double julianDayTT = ln_get_jde(JulianDay(epochSeconds));
    // libnova 0.16 gives the sun's place for the J2000 equinox; the 26 years of precession since
    // then (about 0.36 degrees along the ecliptic in 2026) would make every sunrise 1.5 to 2.5
    // minutes early, so it is precessed to the date.
    ln_equ_posn j2000{};
    ln_get_solar_equ_coords(julianDayTT, &j2000);
    ln_equ_posn ofDate{};
    ln_get_equ_prec2(&j2000, JD2000, julianDayTT, &ofDate);
    return {ofDate.ra, ofDate.dec};
}

SunInSky SunSeenFrom(const Place& place, const SunPlace& sun, int64_t epochSeconds)
{
    const std::lock_guard guard(LibnovaLock());
    const double siderealHours = ln_get_apparent_sidereal_time(JulianDay(epochSeconds));
    ln_equ_posn equatorial{sun.rightAscension, sun.declination};
    ln_lnlat_posn observer{place.longitude, place.latitude};
    ln_hrz_posn horizontal{};
    ln_get_hrz_from_equ_sidereal_time(&equatorial, &observer, siderealHours, &horizontal);
    return {horizontal.alt, WrapDegrees(siderealHours * 15.0 + place.longitude - sun.rightAscension)};
}

SunInSky SunSeenFrom(const Place& place, int64_t epochSeconds)
{
    return SunSeenFrom(place, SunPlaceAt(epochSeconds), epochSeconds);
}

}  // namespace tessel::schedule
