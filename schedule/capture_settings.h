// The capture window's settings as tesseld's settings file gives them:
//   capture_hours  HH:MM-HH:MM local time, may wrap past midnight (22:00-02:00); default always
//   daylight       yes/no: capture only while the sun's centre is above sun_altitude (default no)
//   latitude       decimal degrees, north positive (required with daylight)
//   longitude      decimal degrees, east positive (required with daylight)
//   sun_altitude   degrees from -18 to 10 (-6 civil twilight, -0.833 sunrise); default -6
// Each Parse function checks one value and returns an error text ("" when the value is good),
// to which the settings reader adds the file, line and key. `daylight` is a plain yes/no that
// the settings reader parses like its other switches.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "capture_window.h"

namespace tessel::schedule {

struct CaptureSettings {
    std::optional<ClockHours> hours;
    bool daylight = false;
    std::optional<double> latitude;
    std::optional<double> longitude;
    double sunAltitude = -6;

    bool operator==(const CaptureSettings&) const = default;
};

std::string ParseCaptureHours(std::string_view value, std::optional<ClockHours>& hours);
std::string ParseLatitude(std::string_view value, std::optional<double>& latitude);
std::string ParseLongitude(std::string_view value, std::optional<double>& longitude);
std::string ParseSunAltitude(std::string_view value, double& sunAltitude);

// The checks across keys once the whole file is read: daylight needs latitude and longitude.
std::string CheckCaptureSettings(const CaptureSettings& settings);

// The window the settings describe; the settings must have passed CheckCaptureSettings.
CaptureWindow MakeCaptureWindow(const CaptureSettings& settings);

}  // namespace tessel::schedule
