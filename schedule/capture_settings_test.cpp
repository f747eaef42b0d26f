#include "capture_settings.h"

#include <ostream>

#include <gtest/gtest.h>

#include "time_zone_fixture.h"

namespace tessel::schedule {
namespace {

struct HoursText {
    const char* text;
    std::optional<ClockHours> hours;  // nothing: refused
};

const HoursText kHoursTexts[] = {
    {"08:00-18:00", ClockHours{480, 1080}},
    {"22:00-02:00", ClockHours{1320, 120}},
    {"7:05-23:59", ClockHours{425, 1439}},
    {"00:00-00:01", ClockHours{0, 1}},
    {"08:00-08:00", std::nullopt},
    {"24:00-06:00", std::nullopt},
    {"08:60-18:00", std::nullopt},
    {"08:00", std::nullopt},
    {"08:00-", std::nullopt},
    {"8-18", std::nullopt},
    {"08:00 - 18:00", std::nullopt},
    {"08:00-18:00-20:00", std::nullopt},
    {"-08:00-18:00", std::nullopt},
    {"", std::nullopt},
};

void PrintTo(const HoursText& c, std::ostream* out)
{
    *out << "'" << c.text << "'";
}

class CaptureHoursText : public ::testing::TestWithParam<HoursText> {};

TEST_P(CaptureHoursText, ParsesOrRefuses)
{
    const HoursText& c = GetParam();
    std::optional<ClockHours> hours;
    const std::string error = ParseCaptureHours(c.text, hours);
    EXPECT_EQ(hours, c.hours);
    EXPECT_EQ(error.empty(), c.hours.has_value()) << error;
    if (c.hours) {
        EXPECT_EQ(FormatClockHours(*c.hours).size(), 11u);
    } else {
        EXPECT_NE(error.find(std::string("'") + c.text + "'"), std::string::npos) << error;
    }
}

INSTANTIATE_TEST_SUITE_P(Texts, CaptureHoursText, ::testing::ValuesIn(kHoursTexts));

TEST(CaptureSettings, SameStartAndEndSaysHowToCaptureAlways)
{
    std::optional<ClockHours> hours;
    EXPECT_NE(ParseCaptureHours("08:00-08:00", hours).find("leave capture_hours out"), std::string::npos);
}

struct DegreesText {
    const char* text;
    std::optional<double> latitude;   // nothing: refused
    std::optional<double> longitude;  // nothing: refused
};

const DegreesText kDegreesTexts[] = {
    {"52.52", 52.52, 52.52},
    {"-33.8688", -33.8688, -33.8688},
    {"+7", 7.0, 7.0},
    {"90", 90.0, 90.0},
    {"-90", -90.0, -90.0},
    {"120.5", std::nullopt, 120.5},
    {"-180", std::nullopt, -180.0},
    {"180.01", std::nullopt, std::nullopt},
    {"90.0001", std::nullopt, 90.0001},
    {"52,52", std::nullopt, std::nullopt},
    {"52.52N", std::nullopt, std::nullopt},
    {"1e1", std::nullopt, std::nullopt},
    {"nan", std::nullopt, std::nullopt},
    {"inf", std::nullopt, std::nullopt},
    {"+-5", std::nullopt, std::nullopt},
    {"5-", std::nullopt, std::nullopt},
    {"", std::nullopt, std::nullopt},
};

void PrintTo(const DegreesText& c, std::ostream* out)
{
    *out << "'" << c.text << "'";
}

class PlaceText : public ::testing::TestWithParam<DegreesText> {};

TEST_P(PlaceText, ParsesOrRefuses)
{
    const DegreesText& c = GetParam();
    std::optional<double> latitude;
    const std::string latitudeError = ParseLatitude(c.text, latitude);
    EXPECT_EQ(latitude, c.latitude);
    EXPECT_EQ(latitudeError.empty(), c.latitude.has_value()) << latitudeError;
    std::optional<double> longitude;
    const std::string longitudeError = ParseLongitude(c.text, longitude);
    EXPECT_EQ(longitude, c.longitude);
    EXPECT_EQ(longitudeError.empty(), c.longitude.has_value()) << longitudeError;
}

INSTANTIATE_TEST_SUITE_P(Texts, PlaceText, ::testing::ValuesIn(kDegreesTexts));

TEST(CaptureSettings, ErrorsNameTheRangeAndTheDirection)
{
    std::optional<double> degrees;
    EXPECT_EQ(ParseLatitude("91", degrees), "'91' is not a latitude in decimal degrees from -90 to 90 (north positive, e.g. 52.52)");
    EXPECT_NE(ParseLongitude("east", degrees).find("east positive"), std::string::npos);
}

TEST(CaptureSettings, SunAltitudeFromMinus18To10)
{
    double altitude = -6;
    EXPECT_EQ(ParseSunAltitude("-0.833", altitude), "");
    EXPECT_EQ(altitude, -0.833);
    EXPECT_EQ(ParseSunAltitude("-18", altitude), "");
    EXPECT_EQ(altitude, -18);
    EXPECT_EQ(ParseSunAltitude("10", altitude), "");
    EXPECT_EQ(altitude, 10);
    for (const char* bad : {"-18.5", "10.1", "civil", ""}) {
        altitude = 3;
        EXPECT_NE(ParseSunAltitude(bad, altitude).find("from -18 to 10"), std::string::npos) << bad;
        EXPECT_EQ(altitude, 3) << bad;
    }
}

TEST(CaptureSettings, DaylightNeedsThePlace)
{
    CaptureSettings settings;
    EXPECT_EQ(CheckCaptureSettings(settings), "");
    settings.daylight = true;
    EXPECT_EQ(CheckCaptureSettings(settings), "daylight = yes needs the station's place: latitude and longitude missing");
    settings.latitude = 52.52;
    EXPECT_EQ(CheckCaptureSettings(settings), "daylight = yes needs the station's place: longitude missing");
    settings.latitude.reset();
    settings.longitude = 13.4;
    EXPECT_EQ(CheckCaptureSettings(settings), "daylight = yes needs the station's place: latitude missing");
    settings.latitude = 52.52;
    EXPECT_EQ(CheckCaptureSettings(settings), "");
    // A place without daylight is allowed (and unused).
    EXPECT_EQ(CheckCaptureSettings(CaptureSettings{std::nullopt, false, 52.52, std::nullopt, -6}), "");
}

TEST(CaptureSettings, MakeTheWindowTheyDescribe)
{
    const testing::ScopedTimeZone zone("Europe/Berlin");
    const int64_t winterNoon = testing::Local(2025, 12, 21, 12, 0);
    const int64_t winterEvening = testing::Local(2025, 12, 21, 17, 0);

    EXPECT_TRUE(MakeCaptureWindow(CaptureSettings{}).Allows(winterEvening));

    CaptureSettings hours;
    hours.hours = ClockHours{8 * 60, 16 * 60};
    EXPECT_TRUE(MakeCaptureWindow(hours).Allows(winterNoon));
    EXPECT_FALSE(MakeCaptureWindow(hours).Allows(winterEvening));

    // Berlin's winter sunset is about 15:54 and civil dusk about 16:35; at 16:15 the sun is
    // between the two altitudes.
    const int64_t afterSunset = testing::Local(2025, 12, 21, 16, 15);
    CaptureSettings daylight{std::nullopt, true, 52.52, 13.405, -0.833};
    EXPECT_TRUE(MakeCaptureWindow(daylight).Allows(winterNoon));
    EXPECT_FALSE(MakeCaptureWindow(daylight).Allows(afterSunset));
    daylight.sunAltitude = -6;
    EXPECT_TRUE(MakeCaptureWindow(daylight).Allows(afterSunset));
    EXPECT_FALSE(MakeCaptureWindow(daylight).Allows(winterEvening));
}

}  // namespace
}  // namespace tessel::schedule
