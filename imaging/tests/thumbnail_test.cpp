// Thumbnails: the fixed width with the height in proportion, and fine detail averaged out.
#include "imaging/thumbnail.h"

#include <gtest/gtest.h>

namespace imaging {
namespace {

struct ThumbnailCase {
    int width;
    int height;
    int thumbnailHeight;
};

class ThumbnailSize : public ::testing::TestWithParam<ThumbnailCase> {};

TEST_P(ThumbnailSize, IsTheWidthWithTheHeightInProportion) {
    const ThumbnailCase c = GetParam();
    const Image thumbnail = MakeThumbnail(BlankImage(c.width, c.height));
    EXPECT_EQ(thumbnail.width, kThumbnailWidth);
    EXPECT_EQ(thumbnail.height, c.thumbnailHeight);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ThumbnailSize,
                         ::testing::Values(ThumbnailCase{500, 373, 119}, ThumbnailCase{1920, 1080, 90},
                                           ThumbnailCase{4000, 3000, 120}, ThumbnailCase{80, 60, 120},
                                           ThumbnailCase{5000, 10, 1}));

TEST(Thumbnail, FineDetailAveragesOutInsteadOfAliasing) {
    // One-pixel black and white columns: a faithful small copy is mid grey everywhere.
    Image stripes = BlankImage(1920, 1080);
    for (int y = 0; y < stripes.height; ++y) {
        for (int x = 1; x < stripes.width; x += 2) {
            uint8_t* p = PixelAt(stripes, x, y);
            p[0] = p[1] = p[2] = 255;
        }
    }
    const Image thumbnail = MakeThumbnail(stripes);
    for (std::size_t i = 0; i < thumbnail.rgb.size(); ++i) {
        ASSERT_NEAR(thumbnail.rgb[i], 128, 2) << "at byte " << i;
    }
}

}  // namespace
}  // namespace imaging
