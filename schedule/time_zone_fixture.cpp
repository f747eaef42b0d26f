#include "time_zone_fixture.h"

#include <cstdlib>
#include <ctime>

namespace tessel::schedule::testing {
namespace {

std::tm CalendarTime(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time{};
    time.tm_year = year - 1900;
    time.tm_mon = month - 1;
    time.tm_mday = day;
    time.tm_hour = hour;
    time.tm_min = minute;
    time.tm_sec = second;
    time.tm_isdst = -1;
    return time;
}

}  // namespace

ScopedTimeZone::ScopedTimeZone(const std::string& zone)
{
    if (const char* current = std::getenv("TZ")) {
        previous_ = current;
    }
    setenv("TZ", zone.c_str(), 1);
    tzset();
}

ScopedTimeZone::~ScopedTimeZone()
{
    if (previous_) {
        setenv("TZ", previous_->c_str(), 1);
    } else {
        unsetenv("TZ");
    }
    tzset();
}

int64_t Utc(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time = CalendarTime(year, month, day, hour, minute, second);
    return timegm(&time);
}

int64_t Local(int year, int month, int day, int hour, int minute, int second)
{
    std::tm time = CalendarTime(year, month, day, hour, minute, second);
    return std::mktime(&time);
}

std::string LocalText(int64_t epochSeconds)
{
    const std::time_t moment = static_cast<std::time_t>(epochSeconds);
    std::tm local{};
    localtime_r(&moment, &local);
    char text[64];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S %Z", &local);
    return text;
}

std::string LocalText(const std::optional<int64_t>& epochSeconds)
{
    return epochSeconds ? LocalText(*epochSeconds) : "none";
}

}  // namespace tessel::schedule::testing
