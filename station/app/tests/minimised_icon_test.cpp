#include "minimised_icon.h"

#include <gtest/gtest.h>

namespace tessel {
namespace {

struct OriginCase {
    QSize client;
    QPoint origin;
};

class MinimisedIconOriginTest : public ::testing::TestWithParam<OriginCase> {};

TEST_P(MinimisedIconOriginTest, CentresTheIconTruncatingTowardZero) {
    EXPECT_EQ(MinimisedIconOrigin(GetParam().client, QSize(32, 32)), GetParam().origin);
}

INSTANTIATE_TEST_SUITE_P(Cases, MinimisedIconOriginTest,
                         ::testing::Values(OriginCase{{37, 37}, {3, 3}}, OriginCase{{30, 30}, {0, 0}},
                                           OriginCase{{32, 36}, {0, 2}}, OriginCase{{20, 160}, {-5, 64}}));

}  // namespace
}  // namespace tessel
