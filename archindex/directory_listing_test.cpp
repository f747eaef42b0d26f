#include "directory_listing.h"

#include <gtest/gtest.h>

namespace archindex {
namespace {

struct MatchCase {
  const char* name;
  bool matches;
};

class JpgPatternTest : public ::testing::TestWithParam<MatchCase> {};

TEST_P(JpgPatternTest, MatchesExtensionIgnoringCase) {
  EXPECT_EQ(MatchesJpgPattern(GetParam().name), GetParam().matches) << GetParam().name;
}

INSTANTIATE_TEST_SUITE_P(
    Names, JpgPatternTest,
    ::testing::Values(MatchCase{"a.jpg", true}, MatchCase{"A.JPG", true}, MatchCase{"a.jPg", true},
                      MatchCase{".jpg", true}, MatchCase{"a.b.jpg", true},
                      MatchCase{"a.jpeg", false}, MatchCase{"a.jpg.txt", false},
                      MatchCase{"a.jpgx", false}, MatchCase{"jpg", false},
                      MatchCase{"ajpg", false}, MatchCase{"", false},
                      MatchCase{"index.html", false}, MatchCase{"a.jp\xc7", false}));

}  // namespace
}  // namespace archindex
