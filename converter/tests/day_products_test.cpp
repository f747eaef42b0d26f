// The converter's day products: thumbnails, the lists by day, retention of both, and the start of
// the daily builder when a day is over.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <sstream>
#include <thread>

#include <nlohmann/json.hpp>

#include "archive/day_lists.h"
#include "archive/stamp.h"
#include "exit_codes.h"
#include "imaging/jpeg_io.h"
#include "imaging/text_renderer.h"
#include "imaging/thumbnail.h"
#include "picture_directory.h"
#include "pictrex_run.h"

namespace pictrex {
namespace {

using archive::DayLists;
using archive::KeogramName;
using archive::Stamp;
using archive::VideoName;
using Json = nlohmann::json;

class DayProducts : public ::testing::Test {
protected:
    DayProducts() {
        std::filesystem::create_directories(dir / "bin");
        Install("archindex", "true");
    }

    // Puts a stand-in program into bin/, beside the converter.
    void Install(const std::string& name, const std::string& body) {
        dir.Write("bin/" + name, "#!/bin/sh\n" + body + "\n");
        ::chmod((dir / "bin" / name).c_str(), 0755);
    }

    // Stores and converts a picture with ARCHIVE at the local time `nowStamp`.
    int Archive(const std::string& stamp, const std::string& nowStamp) {
        dir.StorePicture(stamp);
        const Environment environment{dir.path(), dir / "bin", "", [=] { return Stamp::Parse(nowStamp)->ToEpoch(); },
                                      imaging::DefaultFontFiles()};
        std::ostringstream errors;
        const int code = RunPictrex({stamp, "ARCHIVE"}, environment, errors);
        stderrText = errors.str();
        return code;
    }

    Json ReadJson(const std::string& name) const { return Json::parse(dir.ReadText(name)); }

    testing::WebDirectory dir;
    std::string stderrText;
};

TEST_F(DayProducts, ArchivingWritesTheThumbnailAndListsThePictureByDay) {
    ASSERT_EQ(Archive("20261210083105", "20261210090000"), kSuccess) << stderrText;
    ASSERT_EQ(Archive("20261210083005", "20261210090000"), kSuccess) << stderrText;  // arrives late
    ASSERT_EQ(Archive("20261210083105", "20261210090000"), kSuccess) << stderrText;  // retaken: listed once

    const auto thumbnail = imaging::DecodeJpegFile(dir / "archive/thumbs/20261210083005.jpg");
    ASSERT_TRUE(thumbnail);
    EXPECT_EQ(thumbnail->width, imaging::kThumbnailWidth);
    EXPECT_EQ(thumbnail->height, 119);  // 500 × 373 in proportion

    const Json day = ReadJson("archive/days/20261210.json");
    EXPECT_EQ(day["day"], "20261210");
    ASSERT_EQ(day["pictures"].size(), 2u);
    EXPECT_EQ(day["pictures"][0]["stamp"], "20261210083005");
    EXPECT_EQ(day["pictures"][0]["taken_at"], Stamp::Parse("20261210083005")->IsoText());
    EXPECT_EQ(day["pictures"][0]["taken_epoch"], Stamp::Parse("20261210083005")->ToEpoch());
    EXPECT_EQ(day["pictures"][1]["stamp"], "20261210083105");

    const Json days = ReadJson("archive/days.json");
    ASSERT_EQ(days["days"].size(), 1u);
    EXPECT_EQ(days["days"][0], Json::parse(R"({"day":"20261210","count":2,"first":"20261210083005",
                                               "last":"20261210083105","video":null,"keogram":null})"));
}

// An archive of 3 000 pictures over 30 days whose other days are only known from their lists: the
// pictures themselves are absent and the other days' lists are not even valid JSON. Adding one
// picture must read and write only its own day's list and the list of days.
TEST_F(DayProducts, OnePictureMoreUpdatesItsDayWithoutReadingTheRestOfTheArchive) {
    std::filesystem::create_directories(dir / "archive/days");
    Json days = Json::array();
    Json lastDay = Json::array();
    for (int d = 1; d <= 30; ++d) {
        char day[16];
        std::snprintf(day, sizeof day, "202611%02d", d);
        days.push_back({{"day", day}, {"count", 100}, {"first", std::string(day) + "000000"},
                        {"last", std::string(day) + "013900"}, {"video", std::string("days/") + day + ".mp4"},
                        {"keogram", nullptr}});
        if (d < 30) dir.Write(std::string("archive/days/") + day + ".json", std::string("not JSON, must stay unread"));
    }
    for (int i = 0; i < 100; ++i) {
        char stamp[16];
        std::snprintf(stamp, sizeof stamp, "20261130%02d%02d00", 10 + i / 60, i % 60);
        lastDay.push_back({{"stamp", stamp}, {"taken_at", "x"}, {"taken_epoch", 0}});
    }
    dir.Write("archive/days.json", Json{{"days", days}}.dump());
    dir.Write("archive/days/20261130.json", Json{{"day", "20261130"}, {"pictures", lastDay}}.dump());

    ASSERT_EQ(Archive("20261130235959", "20261130235959"), kSuccess) << stderrText;

    const Json after = ReadJson("archive/days.json");
    ASSERT_EQ(after["days"].size(), 30u);
    for (int d = 0; d < 29; ++d) EXPECT_EQ(after["days"][d], days[d]) << "day " << d + 1 << " changed";
    EXPECT_EQ(after["days"][29]["count"], 101);
    EXPECT_EQ(after["days"][29]["last"], "20261130235959");
    EXPECT_EQ(after["days"][29]["video"], "days/20261130.mp4");
    EXPECT_EQ(dir.ReadText("archive/days/20261101.json"), "not JSON, must stay unread");
    EXPECT_EQ(ReadJson("archive/days/20261130.json")["pictures"].size(), 101u);
}

TEST_F(DayProducts, DamagedListsAreMadeAgainFromWhatTheArchiveHolds) {
    ASSERT_EQ(Archive("20261210083005", "20261210090000"), kSuccess) << stderrText;
    ASSERT_EQ(Archive("20261210083105", "20261210090000"), kSuccess) << stderrText;
    dir.Write("archive/days/20261210.json", std::string("{\"day\":\"20261210\",\"pictures\":[{\"sta"));
    dir.Write("archive/days.json", std::string("\x00\x01", 2));

    ASSERT_EQ(Archive("20261210083205", "20261210090000"), kSuccess) << stderrText;
    EXPECT_EQ(ReadJson("archive/days/20261210.json")["pictures"].size(), 3u);
    EXPECT_EQ(ReadJson("archive/days.json")["days"][0]["count"], 3);
}

TEST_F(DayProducts, PlantedLinksInPlaceOfTheListsAreNotFollowed) {
    ASSERT_EQ(Archive("20261210083005", "20261210090000"), kSuccess) << stderrText;
    dir.Write("elsewhere.txt", std::string("not to be touched"));
    for (const char* list : {"archive/days.json", "archive/days/20261210.json"}) {
        std::filesystem::remove(dir / list);
        std::filesystem::create_symlink(dir / "elsewhere.txt", dir / list);
    }
    ASSERT_EQ(Archive("20261210083105", "20261210090000"), kSuccess) << stderrText;
    EXPECT_EQ(dir.ReadText("elsewhere.txt"), "not to be touched");
    EXPECT_FALSE(std::filesystem::is_symlink(dir / "archive/days.json"));
    EXPECT_EQ(ReadJson("archive/days.json")["days"][0]["count"], 2);  // made again from what is there
}

TEST_F(DayProducts, FirstPictureOfALaterDayStartsTheBuilderForTheFinishedDay) {
    Install("tessel-daily", "echo \"$# $1 $(pwd)\" > started.$1");
    ASSERT_EQ(Archive("20261209235905", "20261209235905"), kSuccess) << stderrText;
    ASSERT_EQ(Archive("20261210000005", "20261210000005"), kSuccess) << stderrText;
    ASSERT_EQ(Archive("20261210000105", "20261210000105"), kSuccess) << stderrText;

    // The builder is detached: wait for it a bounded time.
    for (int i = 0; i < 200 && !dir.Has("started.20261209"); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(25));
    }
    ASSERT_TRUE(dir.Has("started.20261209"));
    EXPECT_EQ(dir.ReadText("started.20261209"),
              "1 20261209 " + std::filesystem::canonical(dir.path()).string() + "\n");
    EXPECT_FALSE(dir.Has("started.20261210"));
    EXPECT_NE(dir.ReadText("pictrex.log").find("tessel-daily 20261209 started"), std::string::npos);
}

TEST_F(DayProducts, MissingBuilderIsLoggedAndThePictureStillArchived) {
    ASSERT_EQ(Archive("20261209235905", "20261209235905"), kSuccess) << stderrText;
    ASSERT_EQ(Archive("20261210000005", "20261210000005"), kSuccess) << stderrText;
    EXPECT_NE(dir.ReadText("pictrex.log").find("tessel-daily not found"), std::string::npos);
    EXPECT_EQ(ReadJson("archive/days.json")["days"].size(), 2u);
}

TEST_F(DayProducts, RetentionRemovesThumbnailsDayListsAndProductsOfExpiredPictures) {
    ASSERT_EQ(Archive("20261201083005", "20261201083005"), kSuccess) << stderrText;
    ASSERT_EQ(Archive("20261209083005", "20261209083005"), kSuccess) << stderrText;
    ASSERT_EQ(Archive("20261209093005", "20261209093005"), kSuccess) << stderrText;
    dir.Write("archive/days/20261201.mp4", std::string("video"));
    dir.Write("archive/days/20261201-keogram.jpg", std::string("keogram"));
    ASSERT_TRUE(DayLists(dir / "archive").RecordProducts("20261201", VideoName("20261201"), KeogramName("20261201")));

    dir.Write("pictrex.ini", std::string("archive_days = 1\n"));
    ASSERT_EQ(Archive("20261210090000", "20261210090000"), kSuccess) << stderrText;

    EXPECT_EQ(dir.Listing("archive/thumbs"), (std::vector<std::string>{"20261209093005.jpg", "20261210090000.jpg"}));
    EXPECT_EQ(dir.Listing("archive/days"), (std::vector<std::string>{"20261209.json", "20261210.json"}));
    const Json days = ReadJson("archive/days.json")["days"];
    ASSERT_EQ(days.size(), 2u);
    EXPECT_EQ(days[0]["day"], "20261209");
    EXPECT_EQ(days[0]["count"], 1);
    EXPECT_EQ(days[0]["first"], "20261209093005");
    EXPECT_EQ(ReadJson("archive/days/20261209.json")["pictures"].size(), 1u);
}

}  // namespace
}  // namespace pictrex
