// Reading the settings file: values, defaults, and one clear error naming file, line and key.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <unistd.h>
#include <ostream>

#include "service_settings.h"

namespace tessel::service {
namespace {

TEST(ServiceSettingsTest, ReadsEveryKeyAsTheWindowListsItsEntries)
{
    const auto result = ParseServiceSettings(
        "# a comment\n"
        "; another\n"
        "\n"
        "port = com3\n"
        "device=/dev/ttyUSB0\n"
        "  speed =  57600  \r\n"
        "camera = DC25\n"
        "refresh = 90\n"
        "archive = no\n"
        "message = Hello # not a comment; \"quoted\" = fine\n"
        "webdir = /srv/webcam\n",
        "t.conf");
    ASSERT_TRUE(result.settings) << result.error;
    const ServiceSettings& s = *result.settings;
    EXPECT_EQ(s.portIndex, 3);
    EXPECT_EQ(s.device, "/dev/ttyUSB0");
    EXPECT_EQ(s.speedIndex, 4);
    EXPECT_EQ(s.cameraIndex, 1);
    EXPECT_EQ(s.refreshSeconds, 90u);
    EXPECT_FALSE(s.archive);
    EXPECT_EQ(s.message, "Hello # not a comment; \"quoted\" = fine");
    EXPECT_EQ(s.webdir, "/srv/webcam");
}

TEST(ServiceSettingsTest, AnEmptyFileGivesTheWindowsDefaults)
{
    const auto result = ParseServiceSettings("", "t.conf");
    ASSERT_TRUE(result.settings);
    EXPECT_EQ(*result.settings, ServiceSettings{});
    EXPECT_EQ(result.settings->portIndex, 1);      // COM1
    EXPECT_EQ(result.settings->speedIndex, 5);     // 115200
    EXPECT_EQ(result.settings->cameraIndex, 0);    // DC20
    EXPECT_EQ(result.settings->refreshSeconds, 60u);
    EXPECT_TRUE(result.settings->archive);
    EXPECT_EQ(result.settings->message, "");
}

struct BadRow {
    const char* text;
    const char* error;  // the expected start of the error line
};

void PrintTo(const BadRow& row, std::ostream* out)
{
    *out << row.error;
}

class BadSettingsTest : public ::testing::TestWithParam<BadRow> {};

TEST_P(BadSettingsTest, NamesFileLineAndKey)
{
    const auto result = ParseServiceSettings(GetParam().text, "/etc/tessel/t.conf");
    EXPECT_FALSE(result.settings);
    EXPECT_TRUE(result.error.starts_with(GetParam().error)) << result.error;
}

INSTANTIATE_TEST_SUITE_P(
    Errors, BadSettingsTest,
    ::testing::Values(BadRow{"refresh = 29\n", "/etc/tessel/t.conf:1: refresh: '29' is not a whole number"},
                      BadRow{"# c\nrefresh = 91\n", "/etc/tessel/t.conf:2: refresh:"},
                      BadRow{"refresh = 60s\n", "/etc/tessel/t.conf:1: refresh:"},
                      BadRow{"refresh = -45\n", "/etc/tessel/t.conf:1: refresh:"},
                      BadRow{"refresh =\n", "/etc/tessel/t.conf:1: refresh:"},
                      BadRow{"port = COM5\n", "/etc/tessel/t.conf:1: port: 'COM5' is not one of Auto, COM1"},
                      BadRow{"speed = 14400\n", "/etc/tessel/t.conf:1: speed: '14400' is not one of Auto, 9600"},
                      BadRow{"camera = DC40\n", "/etc/tessel/t.conf:1: camera:"},
                      BadRow{"archive = maybe\n", "/etc/tessel/t.conf:1: archive: 'maybe' is not yes or no"},
                      BadRow{"webdir =\n", "/etc/tessel/t.conf:1: webdir: needs a value"},
                      BadRow{"\n\ncolour = red\n", "/etc/tessel/t.conf:3: colour: unknown key"},
                      BadRow{"refresh = 30\nrefresh = 40\n", "/etc/tessel/t.conf:2: refresh: given twice"},
                      BadRow{"[tessel]\n", "/etc/tessel/t.conf:1: '[tessel]' is not a line of the form key = value"}));

TEST(ServiceSettingsTest, LoadingNamesAFileThatIsMissingOrNoFile)
{
    const auto missing = LoadServiceSettings("/nonexistent/tessel.conf");
    EXPECT_FALSE(missing.settings);
    EXPECT_EQ(missing.error, "/nonexistent/tessel.conf: no such file");

    const auto directory = LoadServiceSettings(std::filesystem::temp_directory_path());
    EXPECT_FALSE(directory.settings);
    EXPECT_NE(directory.error.find("not a regular file"), std::string::npos);
}

TEST(ServiceSettingsTest, LoadingReadsTheFile)
{
    const auto file = std::filesystem::temp_directory_path() / ("tesseld-settings-" + std::to_string(getpid()));
    std::ofstream(file) << "refresh = 45\nmessage = from a file\n";
    const auto result = LoadServiceSettings(file);
    std::filesystem::remove(file);
    ASSERT_TRUE(result.settings) << result.error;
    EXPECT_EQ(result.settings->refreshSeconds, 45u);
    EXPECT_EQ(result.settings->message, "from a file");
}

}  // namespace
}  // namespace tessel::service
