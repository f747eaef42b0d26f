// The lists by day: each picture listed once in order, the finished day reported when a later
// day begins, and days that lose their last picture dropped with their products.
#include "archive/day_lists.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "scratch_web_directory.h"

namespace archive {
namespace {

std::vector<std::string> StampsOf(const std::vector<DayPicture>& pictures) {
    std::vector<std::string> stamps;
    for (const DayPicture& picture : pictures) stamps.push_back(picture.stamp);
    return stamps;
}

Stamp At(const char* digits) { return *Stamp::Parse(digits); }

class DayListsTest : public ::testing::Test {
protected:
    DayListsTest() { std::filesystem::create_directories(dir / "archive"); }

    tessel::testing::ScratchWebDirectory dir;
    DayLists lists{dir / "archive"};
};

TEST_F(DayListsTest, ListEachPictureOnceInOrderAndReportTheDayALaterDayFinishes) {
    EXPECT_EQ(lists.Add(At("20261209235900")), std::nullopt);
    EXPECT_EQ(lists.Add(At("20261209120000")), std::nullopt);  // arrives late
    EXPECT_EQ(lists.Add(At("20261209235900")), std::nullopt);  // retaken in the same second
    EXPECT_EQ(lists.Add(At("20261210000010")), "20261209");
    EXPECT_EQ(lists.Add(At("20261210000020")), std::nullopt);
    EXPECT_EQ(lists.Add(At("20261208120000")), std::nullopt);  // an earlier day finishes nothing

    const std::vector<DayPicture> pictures = lists.Pictures("20261209");
    EXPECT_EQ(StampsOf(pictures), (std::vector<std::string>{"20261209120000", "20261209235900"}));
    EXPECT_EQ(pictures.front().takenAt, At("20261209120000").IsoText());
    EXPECT_EQ(pictures.front().takenEpoch, At("20261209120000").ToEpoch());
    const std::vector<DaySummary> days = lists.Days();
    ASSERT_EQ(days.size(), 3u);
    EXPECT_EQ(days[1].day, "20261209");
    EXPECT_EQ(days[1].count, 2u);
    EXPECT_EQ(days[1].first, "20261209120000");
    EXPECT_EQ(days[1].last, "20261209235900");
    EXPECT_EQ(days[2].count, 2u);
    EXPECT_TRUE(lists.Pictures("20261211").empty());
}

TEST_F(DayListsTest, RemovingTheLastPicturesOfADayDropsItsListItsEntryAndItsProducts) {
    for (const char* stamp : {"20261209100000", "20261209110000", "20261210100000", "20261210110000"}) {
        lists.Add(At(stamp));
    }
    ASSERT_TRUE(lists.RecordProducts("20261209", VideoName("20261209"), KeogramName("20261209")));
    dir.Write("archive/days/" + VideoFileName("20261209"), std::string("video"));
    dir.Write("archive/days/" + KeogramFileName("20261209"), std::string("keogram"));

    lists.Remove({At("20261209100000"), At("20261209110000"), At("20261210100000")});

    const std::vector<DaySummary> days = lists.Days();
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0].day, "20261210");
    EXPECT_EQ(days[0].count, 1u);
    EXPECT_EQ(days[0].first, "20261210110000");
    EXPECT_EQ(dir.Listing("archive/days"), std::vector<std::string>{"20261210.json"});
    EXPECT_FALSE(lists.RecordProducts("20261209", VideoName("20261209"), KeogramName("20261209")));
}

TEST_F(DayListsTest, ProductsAreNotedRelativeToTheArchiveAndKeptWhenPicturesArrive) {
    lists.Add(At("20261209100000"));
    ASSERT_TRUE(lists.RecordProducts("20261209", VideoName("20261209"), KeogramName("20261209")));
    lists.Add(At("20261209110000"));
    const std::vector<DaySummary> days = lists.Days();
    ASSERT_EQ(days.size(), 1u);
    EXPECT_EQ(days[0].video, "days/20261209.mp4");
    EXPECT_EQ(days[0].keogram, "days/20261209-keogram.jpg");
    EXPECT_EQ(days[0].count, 2u);
}

}  // namespace
}  // namespace archive
