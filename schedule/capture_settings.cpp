#include "capture_settings.h"

#include <charconv>
#include <cmath>

namespace tessel::schedule {
namespace {

std::string Quoted(std::string_view value)
{
    return "'" + std::string(value) + "'";
}

// A decimal number written in full ("48.1", "-0.833", "+7"), nothing else: no exponent,
// no "inf" or "nan", no trailing text.
std::optional<double> ParseDecimal(std::string_view value)
{
    const bool plus = !value.empty() && value.front() == '+';
    if (plus) {
        value.remove_prefix(1);
    }
    if (value.empty() || (plus && value.front() == '-') ||
        value.find_first_not_of("-.0123456789") != std::string_view::npos) {
        return std::nullopt;
    }
    double number = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), number,
                                              std::chars_format::fixed);
    if (error != std::errc{} || end != value.data() + value.size() || !std::isfinite(number)) {
        return std::nullopt;
    }
    return number;
}

// "H:MM" or "HH:MM" from 00:00 to 23:59, as minutes after midnight.
std::optional<int> ParseClockTime(std::string_view text)
{
    const auto colon = text.find(':');
    if (colon == std::string_view::npos || colon == 0 || colon > 2 || text.size() != colon + 3) {
        return std::nullopt;
    }
    int hour = -1;
    int minute = -1;
    const char* const begin = text.data();
    const auto hourEnd = std::from_chars(begin, begin + colon, hour);
    const auto minuteEnd = std::from_chars(begin + colon + 1, begin + text.size(), minute);
    if (hourEnd.ptr != begin + colon || minuteEnd.ptr != begin + text.size() || hour < 0 || hour > 23 ||
        minute < 0 || minute > 59) {
        return std::nullopt;
    }
    return hour * 60 + minute;
}

std::string ParseDegrees(std::string_view value, double lowest, double highest, const std::string& what,
                         std::optional<double>& degrees)
{
    const auto number = ParseDecimal(value);
    if (!number || *number < lowest || *number > highest) {
        return Quoted(value) + " is not " + what;
    }
    degrees = *number;
    return {};
}

}  // namespace

std::string ParseCaptureHours(std::string_view value, std::optional<ClockHours>& hours)
{
    const auto dash = value.find('-');
    const auto start = dash == std::string_view::npos ? std::nullopt : ParseClockTime(value.substr(0, dash));
    const auto end = dash == std::string_view::npos ? std::nullopt : ParseClockTime(value.substr(dash + 1));
    if (!start || !end) {
        return Quoted(value) + " is not a span of local time HH:MM-HH:MM, for example 08:00-18:00 or 22:00-02:00";
    }
    if (*start == *end) {
        return Quoted(value) + " starts and ends at the same time; leave capture_hours out to capture at all hours";
    }
    hours = ClockHours{*start, *end};
    return {};
}

std::string ParseLatitude(std::string_view value, std::optional<double>& latitude)
{
    return ParseDegrees(value, -90, 90, "a latitude in decimal degrees from -90 to 90 (north positive, e.g. 52.52)",
                        latitude);
}

std::string ParseLongitude(std::string_view value, std::optional<double>& longitude)
{
    return ParseDegrees(value, -180, 180,
                        "a longitude in decimal degrees from -180 to 180 (east positive, e.g. 13.40 or -74.01)",
                        longitude);
}

std::string ParseSunAltitude(std::string_view value, double& sunAltitude)
{
    std::optional<double> degrees;
    std::string error = ParseDegrees(
        value, -18, 10, "a sun altitude in degrees from -18 to 10 (-6 civil twilight, -0.833 sunrise)", degrees);
    if (degrees) {
        sunAltitude = *degrees;
    }
    return error;
}

std::string CheckCaptureSettings(const CaptureSettings& settings)
{
    if (settings.daylight && (!settings.latitude || !settings.longitude)) {
        return std::string("daylight = yes needs the station's place: ") +
               (settings.latitude ? "" : "latitude") + (!settings.latitude && !settings.longitude ? " and " : "") +
               (settings.longitude ? "" : "longitude") + " missing";
    }
    return {};
}

CaptureWindow MakeCaptureWindow(const CaptureSettings& settings)
{
    std::optional<DaylightRule> daylight;
    if (settings.daylight) {
        // Throws when CheckCaptureSettings would have refused the settings.
        daylight = DaylightRule{Place{settings.latitude.value(), settings.longitude.value()}, settings.sunAltitude};
    }
    return CaptureWindow(settings.hours, daylight);
}

}  // namespace tessel::schedule
