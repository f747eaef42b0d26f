#include "pictrex_settings.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch_web_directory.h"

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
    tessel::testing::ScratchWebDirectory dir;
    const LoadedSettings loaded = LoadSettings(tessel::WebDirectory::Open(dir.path()));
    EXPECT_TRUE(loaded.warnings.empty());
    EXPECT_EQ(loaded.settings.jpegQuality, 85);
}

}  // namespace
}  // namespace pictrex
