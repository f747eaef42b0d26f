// The run-log line: the run's local start time, its words and outcome on one line of visible text.
#include "archive/run_log.h"

#include <gtest/gtest.h>

#include "archive/stamp.h"

namespace archive {
namespace {

TEST(RunLogTest, OneLineWithControlCharactersMadeVisible) {
    const std::time_t start = Stamp::Parse("20261210083005")->ToEpoch();
    EXPECT_EQ(LogLine(start, "20261210083005 ARCHIVE", "published", 42),
              "2026-12-10 08:30:05 20261210083005 ARCHIVE: published (42 ms)\n");
    EXPECT_EQ(LogLine(start, "a\nb", "bad \x1b[2J\r", 0), "2026-12-10 08:30:05 a\\x0ab: bad \\x1b[2J\\x0d (0 ms)\n");
}

}  // namespace
}  // namespace archive
