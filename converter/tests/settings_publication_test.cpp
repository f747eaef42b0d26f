#include <gtest/gtest.h>
#include <sys/stat.h>

#include "archive.h"
#include "publication.h"
#include "settings.h"
#include "web_directory.h"

namespace pictrex {
namespace {

TEST(SettingsTest, ReadsEveryKeyAndSkipsCommentsAndSections) {
    const LoadedSettings loaded = ParseSettings(
        "# converter\n[pictrex]\n; quality\nquality = 70\r\nkeep_raw=yes\n  archive_days =  14 \nbanner = off\nfont = /x/y.ttf\n\n");
    EXPECT_TRUE(loaded.warnings.empty());
    EXPECT_EQ(loaded.settings.jpegQuality, 70);
    EXPECT_TRUE(loaded.settings.keepRaw);
    EXPECT_EQ(loaded.settings.archiveDays, 14);
    EXPECT_FALSE(loaded.settings.banner);
    EXPECT_EQ(loaded.settings.fontFile, "/x/y.ttf");
}

TEST(SettingsTest, BadValuesKeepTheDefaultsAndAreReported) {
    const LoadedSettings loaded =
        ParseSettings("quality = 0\nquality = 101\nquality = 85x\nkeep_raw = maybe\narchive_days = -1\ncolour = red\njunk\n");
    const Settings defaults;
    EXPECT_EQ(loaded.settings.jpegQuality, defaults.jpegQuality);
    EXPECT_EQ(loaded.settings.keepRaw, defaults.keepRaw);
    EXPECT_EQ(loaded.settings.archiveDays, defaults.archiveDays);
    ASSERT_EQ(loaded.warnings.size(), 7u);
    EXPECT_EQ(loaded.warnings[6], "pictrex.ini line 7 ignored: \"junk\"");
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
    const LoadedSettings loaded = LoadSettings("/nonexistent/pictrex.ini");
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
    if (c.current) current = Publication{*Stamp::Parse(c.current), c.currentOff};
    EXPECT_EQ(MayReplace({*Stamp::Parse(c.candidate), c.candidateOff}, current, now), c.replaces);
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
    const Publication published{*Stamp::Parse("20261210083005"), true};
    dir.Write("webcam.json", StatusText(published, 1796891405));
    EXPECT_EQ(dir.ReadText("webcam.json"),
              "{\"stamp\":\"20261210083005\",\"taken\":\"2026-12-10 08:30:05\",\"camera\":\"off\",\"updated\":1796891405}\n");
    const auto read = ReadStatus(dir / "webcam.json");
    ASSERT_TRUE(read);
    EXPECT_EQ(read->stamp, published.stamp);
    EXPECT_TRUE(read->cameraOff);
    dir.Write("webcam.json", std::string("{\"stamp\":\"2026\"}"));
    EXPECT_FALSE(ReadStatus(dir / "webcam.json"));
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
