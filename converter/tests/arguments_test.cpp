#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "arguments.h"

namespace pictrex {
namespace {

struct ArgumentCase {
    std::vector<std::string> words;
    bool valid;
    bool archive;
    bool off;
};

class ArgumentsTest : public ::testing::TestWithParam<ArgumentCase> {};

TEST_P(ArgumentsTest, AcceptsOnlyTheStationsForms) {
    const ArgumentCase& c = GetParam();
    const auto invocation = ParseArguments(c.words);
    ASSERT_EQ(invocation.has_value(), c.valid);
    if (!c.valid) return;
    EXPECT_EQ(invocation->stamp.digits(), c.words[0]);
    EXPECT_EQ(invocation->archive, c.archive);
    EXPECT_EQ(invocation->cameraOff, c.off);
}

INSTANTIATE_TEST_SUITE_P(
    Words, ArgumentsTest,
    ::testing::Values(ArgumentCase{{"19991015083005", "ARCHIVE"}, true, true, false},
                      ArgumentCase{{"19991015083005", "NOARCHIVE"}, true, false, false},
                      ArgumentCase{{"20261210083005", "ARCHIVE", "off"}, true, true, true},
                      ArgumentCase{{"20261210083005", "NOARCHIVE", "off"}, true, false, true},
                      ArgumentCase{{"20240229235960", "ARCHIVE"}, true, true, false},   // leap day, leap second
                      ArgumentCase{{}, false, false, false},
                      ArgumentCase{{"19991015083005"}, false, false, false},
                      ArgumentCase{{"1999101508300", "ARCHIVE"}, false, false, false},    // 13 digits
                      ArgumentCase{{"199910150830055", "ARCHIVE"}, false, false, false},  // 15 digits
                      ArgumentCase{{"../x", "ARCHIVE"}, false, false, false},
                      ArgumentCase{{"1999101508300x", "ARCHIVE"}, false, false, false},
                      ArgumentCase{{"19991315083005", "ARCHIVE"}, false, false, false},   // month 13
                      ArgumentCase{{"20230229083005", "ARCHIVE"}, false, false, false},   // no leap day
                      ArgumentCase{{"19991015243005", "ARCHIVE"}, false, false, false},   // hour 24
                      ArgumentCase{{"19991015086005", "ARCHIVE"}, false, false, false},   // minute 60
                      ArgumentCase{{"19991015083005", "archive"}, false, false, false},
                      ArgumentCase{{"19991015083005", "ARCHIVE", "OFF"}, false, false, false},
                      ArgumentCase{{"19991015083005", "ARCHIVE", "off", "x"}, false, false, false}));

}  // namespace
}  // namespace pictrex
