// Reading JPEG data back: whole pictures within the size limit, and the middle column alone.
#include "imaging/jpeg_io.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <utility>
#include <vector>

#include "declared_size_jpeg.h"

namespace imaging {
namespace {

TEST(JpegBombTest, DeclaredSizeIsCheckedBeforeDecoding) {
    struct Case {
        unsigned side;
        bool accepted;
    };
    // Up to the limit the header is accepted and decoding starts (then finds the data too short);
    // beyond it decoding is refused before any picture memory is taken.
    for (const Case c : {Case{16, true}, Case{4096, true}, Case{4097, false}, Case{16000, false}, Case{65500, false}}) {
        const auto jpeg = testing::JpegDeclaring(c.side, c.side);
        ASSERT_EQ(jpeg.size(), 176u);
        std::string problem;
        const auto image = DecodeJpeg(jpeg, problem);
        EXPECT_FALSE(image);
        EXPECT_EQ(problem, c.accepted ? "damaged JPEG data"
                                      : "declares " + std::to_string(c.side) + "x" + std::to_string(c.side) +
                                            " pixels, more than 4096 on a side");
    }
}

// A black picture with one white column at `x`.
std::vector<uint8_t> WhiteColumnAt(int width, int height, int x) {
    Image image = BlankImage(width, height);
    for (int y = 0; y < height; ++y) std::fill_n(PixelAt(image, x, y), 3, 255);
    return EncodeJpeg(image, 100, Chroma::Full);
}

TEST(MiddleColumn, IsExactlyTheColumnInTheMiddleOfThePicture) {
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{333, 101}, std::pair{17, 9}, std::pair{1, 5}}) {
        const int middle = width / 2;
        const auto column = DecodeJpegMiddleColumn(WhiteColumnAt(width, height, middle));
        ASSERT_TRUE(column) << width;
        EXPECT_EQ(column->pictureWidth, width);
        EXPECT_EQ(column->pictureHeight, height);
        ASSERT_EQ(column->column.width, 1);
        ASSERT_EQ(column->column.height, height);
        for (int y = 0; y < height; ++y) EXPECT_GT(column->column.pixel(0, y)[0], 200) << width << " row " << y;
        if (width == 1) continue;
        const auto beside = DecodeJpegMiddleColumn(WhiteColumnAt(width, height, middle - 1));
        ASSERT_TRUE(beside);
        for (int y = 0; y < height; ++y) EXPECT_LT(beside->column.pixel(0, y)[0], 60) << width << " row " << y;
    }
}

TEST(MiddleColumn, RefusesWhatIsNotAWholeJpeg) {
    std::vector<uint8_t> jpeg = WhiteColumnAt(64, 48, 10);
    EXPECT_FALSE(DecodeJpegMiddleColumn(std::span(jpeg).first(jpeg.size() / 2)));
    EXPECT_FALSE(DecodeJpegMiddleColumn(std::vector<uint8_t>{'n', 'o'}));
    EXPECT_FALSE(DecodeJpegMiddleColumn(std::vector<uint8_t>{}));
    EXPECT_FALSE(DecodeJpegMiddleColumn(testing::JpegDeclaring(4097, 16)));  // beyond the size limit
}

}  // namespace
}  // namespace imaging
