#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <ctime>
#include <optional>
#include <string>

#include <nlohmann/json.hpp>

#include "archive.h"
#include "publication.h"
#include "settings.h"
#include "scratch_web_directory.h"
#include "web_directory.h"

namespace pictrex {
namespace {

TEST(SettingsTest, ReadsEveryKeyAndSkipsCommentsAndSections) {
    const LoadedSettings loaded = ParseSettings(
        "# converter\n[pictrex]\n; quality\nquality = 70\r\nkeep_raw=yes\n  archive_days =  14 \nbanner = off\nfont = /x/y.ttf\n"
        "timelapse_fps = 30\n\n");
    EXPECT_TRUE(loaded.warnings.empty());
    EXPECT_EQ(loaded.settings.jpegQuality, 70);
    EXPECT_TRUE(loaded.settings.keepRaw);
    EXPECT_EQ(loaded.settings.archiveDays, 14);
    EXPECT_FALSE(loaded.settings.banner);
    EXPECT_EQ(loaded.settings.fontFile, "/x/y.ttf");
    EXPECT_EQ(loaded.settings.timelapseFps, 30);
}

TEST(SettingsTest, BadValuesKeepTheDefaultsAndAreReported) {
    const LoadedSettings loaded =
        ParseSettings("quality = 0\nquality = 101\nquality = 85x\nkeep_raw = maybe\narchive_days = -1\ncolour = red\njunk\n"
                      "timelapse_fps = 0\ntimelapse_fps = 121\n");
    const Settings defaults;
    EXPECT_EQ(loaded.settings.jpegQuality, defaults.jpegQuality);
    EXPECT_EQ(loaded.settings.keepRaw, defaults.keepRaw);
    EXPECT_EQ(loaded.settings.archiveDays, defaults.archiveDays);
    EXPECT_EQ(loaded.settings.timelapseFps, defaults.timelapseFps);
    // The first bad lines are quoted, the rest counted.
    EXPECT_EQ(loaded.warnings, (std::vector<std::string>{"pictrex.ini line 1 ignored: \"quality = 0\"",
                                                         "pictrex.ini line 2 ignored: \"quality = 101\"",
                                                         "pictrex.ini line 3 ignored: \"quality = 85x\"",
                                                         "6 more pictrex.ini lines ignored"}));
}

TEST(SettingsTest, UploadSectionsAreLeftToTheUploadQueue) {
    // Keys of an [upload NAME] section are not the converter's: no warnings, and a "quality" in
    // there does not change the picture quality; a later plain section is the converter's again.
    const LoadedSettings loaded = ParseSettings(
        "quality = 70\n[upload web]\nurl = sftp://cam@host/www/\nquality = 20\n[pictrex]\nbanner = off\n");
    EXPECT_TRUE(loaded.warnings.empty());
    EXPECT_EQ(loaded.settings.jpegQuality, 70);
    EXPECT_FALSE(loaded.settings.banner);
}

TEST(SettingsTest, MissingFileGivesTheDefaults) {
    testing::WebDirectory dir;
    const LoadedSettings loaded = LoadSettings(tessel::WebDirectory::Open(dir.path()));
    EXPECT_TRUE(loaded.warnings.empty());
    EXPECT_EQ(loaded.settings.jpegQuality, 85);
}

struct OrderCase {
    const char* candidate;
    bool candidateOff;
    const char* current;  // nullptr: nothing published
    bool currentOff;
    bool replaces;
};

class MayReplaceTest : public ::testing::TestWithParam<OrderCase> {};

TEST_P(MayReplaceTest, FollowsStampsThenCameraOff) {
    const OrderCase& c = GetParam();
    const std::time_t now = Stamp::Parse("20261210090000")->ToEpoch();
    std::optional<Publication> current;
    if (c.current) current = Publication{*Stamp::Parse(c.current), c.currentOff, ""};
    EXPECT_EQ(MayReplace({*Stamp::Parse(c.candidate), c.candidateOff, ""}, current, now), c.replaces);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MayReplaceTest,
    ::testing::Values(OrderCase{"20261210083005", false, nullptr, false, true},
                      OrderCase{"20261210083105", false, "20261210083005", false, true},
                      OrderCase{"20261210083005", false, "20261210083105", false, false},
                      OrderCase{"20261210083005", false, "20261210083005", false, true},   // retaken in the same second
                      OrderCase{"20261210083005", true, "20261210083005", false, true},    // Stop after the picture
                      OrderCase{"20261210083005", false, "20261210083005", true, false},   // late conversion after Stop
                      OrderCase{"20261210083105", false, "20261210083005", true, true},    // restarted
                      OrderCase{"20261210083005", false, "20261210093005", false, true})); // published stamp in the future

TEST(StatusTest, WritesAndReadsBack) {
    testing::WebDirectory dir;
    const Publication published{*Stamp::Parse("20261210083005"), true, "Hello"};
    dir.Write("webcam.json", StatusText(published, 1796891405));
    const auto status = nlohmann::json::parse(dir.ReadText("webcam.json"));
    EXPECT_EQ(status["stamp"], "20261210083005");
    EXPECT_EQ(status["taken"], "2026-12-10 08:30:05");
    EXPECT_EQ(status["taken_epoch"], published.stamp.ToEpoch());
    EXPECT_EQ(status["camera"], "off");
    EXPECT_EQ(status["updated"], 1796891405);
    EXPECT_EQ(status["caption"], "Hello");
    const auto read = ReadStatus(tessel::WebDirectory::Open(dir.path()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->stamp, published.stamp);
    EXPECT_TRUE(read->cameraOff);
    dir.Write("webcam.json", std::string("{\"stamp\":\"2026\"}"));
    EXPECT_FALSE(ReadStatus(tessel::WebDirectory::Open(dir.path())));
    dir.Write("webcam.json", std::string("{\"stamp\":\"20261210083005\",\"camera\":\"on\""));  // cut short
    EXPECT_FALSE(ReadStatus(tessel::WebDirectory::Open(dir.path())));
}

// Sets the local time zone for one test and puts the previous one back.
class LocalZone {
public:
    explicit LocalZone(const char* zone) {
        if (const char* previous = std::getenv("TZ")) previous_ = previous;
        ::setenv("TZ", zone, 1);
        ::tzset();
    }
    ~LocalZone() {
        if (previous_) ::setenv("TZ", previous_->c_str(), 1);
        else ::unsetenv("TZ");
        ::tzset();
    }

private:
    std::optional<std::string> previous_;
};

TEST(StatusTest, TakenAtCarriesTheStationsUtcOffsetOfThatDay) {
    const LocalZone zone("CET-1CEST,M3.5.0,M10.5.0/3");  // central Europe, without needing tzdata
    EXPECT_EQ(Stamp::Parse("20261210083005")->IsoText(), "2026-12-10T08:30:05+01:00");
    EXPECT_EQ(Stamp::Parse("20260710083005")->IsoText(), "2026-07-10T08:30:05+02:00");
    EXPECT_EQ(Stamp::Parse("20261210083005")->ToEpoch(), 1796887805);
    const LocalZone west("NST+3:30");
    EXPECT_EQ(Stamp::Parse("20261210083005")->IsoText(), "2026-12-10T08:30:05-03:30");
}

TEST(StatusTest, CaptionOfAnyCharactersSurvivesTheRoundTrip) {
    testing::WebDirectory dir;
    const std::string caption = "Say \"Cheese!\" \\ back\\slash \t tab \x01\x1f bell\x07 </script> Grüße 雪 ☃ \U0001F4F7";
    dir.Write("webcam.json", StatusText({*Stamp::Parse("20261210083005"), false, caption}, 1796891405));
    const std::string text = dir.ReadText("webcam.json");
    EXPECT_EQ(text.find('\x01'), std::string::npos) << "control characters are escaped";
    EXPECT_EQ(nlohmann::json::parse(text)["caption"], caption);
    const auto read = ReadStatus(tessel::WebDirectory::Open(dir.path()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->caption, caption);
}

TEST(StatusTest, CaptionThatIsNotUtf8IsRepairedNotLost) {
    testing::WebDirectory dir;
    dir.Write("webcam.json", StatusText({*Stamp::Parse("20261210083005"), false, "caf\xe9 ok"}, 1796891405));
    const auto read = ReadStatus(tessel::WebDirectory::Open(dir.path()));
    ASSERT_TRUE(read);
    EXPECT_EQ(read->caption, "caf\xef\xbf\xbd ok");
}

TEST(FindArchindexTest, PrefersTheProgramsDirectoryThenSearchesPath) {
    testing::WebDirectory dir;
    for (const char* folder : {"beside", "first", "second", "plain"}) std::filesystem::create_directories(dir / folder);
    for (const char* program : {"beside/archindex", "second/archindex", "plain/archindex"}) {
        dir.Write(program, std::string("#!/bin/sh\n"));
        ::chmod((dir / program).c_str(), program[0] == 'p' ? 0644 : 0755);  // plain/: not executable
    }
    const std::string path = (dir / "plain").string() + "::" + (dir / "first").string() + ":" + (dir / "second").string();
    EXPECT_EQ(FindArchindex(dir / "beside", path), dir / "beside/archindex");
    EXPECT_EQ(FindArchindex(dir / "first", path), dir / "second/archindex");
    EXPECT_EQ(FindArchindex("", (dir / "plain").string()), std::nullopt);
}

}  // namespace
}  // namespace pictrex
