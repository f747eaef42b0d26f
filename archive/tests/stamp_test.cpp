// A picture's stamp: only real dates and times of 14 digits, shown and converted back.
#include "archive/stamp.h"

#include <gtest/gtest.h>

namespace archive {
namespace {

TEST(StampTest, AcceptsOnlyRealDatesAndTimesOfFourteenDigits) {
    for (const char* good : {"19991015083005", "20240229235960", "19000101000000"}) {
        EXPECT_TRUE(Stamp::Parse(good)) << good;
    }
    for (const char* bad : {"", "1999101508300", "199910150830055", "1999101508300x", "19991315083005",
                            "20230229083005", "19991015243005", "19991015086005", "18991231235959", "../x"}) {
        EXPECT_FALSE(Stamp::Parse(bad)) << bad;
    }
}

TEST(StampTest, DisplaysAsDateAndTime) {
    EXPECT_EQ(Stamp::Parse("20261210083005")->DisplayText(), "2026-12-10 08:30:05");
    EXPECT_EQ(Stamp::Parse("20261210083005")->Day(), "20261210");
}

TEST(StampTest, RoundTripsThroughLocalTime) {
    const auto stamp = Stamp::Parse("20261210083005");
    ASSERT_TRUE(stamp);
    EXPECT_EQ(StampDigitsOf(stamp->ToEpoch()), "20261210083005");
    EXPECT_LT(*Stamp::Parse("20261210083004"), *stamp);
}

}  // namespace
}  // namespace archive
