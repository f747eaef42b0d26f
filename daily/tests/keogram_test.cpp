#include "keogram.h"

#include <gtest/gtest.h>

#include "jpeg_io.h"

namespace tessel::daily {
namespace {

// A picture whose columns all differ: column x has red x, and rows grow green downwards.
pictrex::Image Gradient(int width, int height) {
    pictrex::Image image = pictrex::BlankImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = pictrex::PixelAt(image, x, y);
            p[0] = static_cast<uint8_t>(x * 255 / (width - 1));
            p[1] = static_cast<uint8_t>(y * 255 / (height - 1));
        }
    }
    return image;
}

// A black picture with one white column at `x`.
std::vector<uint8_t> WhiteColumnAt(int width, int height, int x) {
    pictrex::Image image = pictrex::BlankImage(width, height);
    for (int y = 0; y < height; ++y) std::fill_n(pictrex::PixelAt(image, x, y), 3, 255);
    return pictrex::EncodeJpeg(image, 100, pictrex::Chroma::Full);
}

TEST(MiddleColumn, IsExactlyTheColumnInTheMiddleOfThePicture) {
    for (const auto& [width, height] : {std::pair{640, 480}, std::pair{333, 101}, std::pair{17, 9}, std::pair{1, 5}}) {
        const int middle = width / 2;
        const auto column = pictrex::DecodeJpegMiddleColumn(WhiteColumnAt(width, height, middle));
        ASSERT_TRUE(column) << width;
        EXPECT_EQ(column->pictureWidth, width);
        EXPECT_EQ(column->pictureHeight, height);
        ASSERT_EQ(column->column.width, 1);
        ASSERT_EQ(column->column.height, height);
        for (int y = 0; y < height; ++y) EXPECT_GT(column->column.pixel(0, y)[0], 200) << width << " row " << y;
        if (width == 1) continue;
        const auto beside = pictrex::DecodeJpegMiddleColumn(WhiteColumnAt(width, height, middle - 1));
        ASSERT_TRUE(beside);
        for (int y = 0; y < height; ++y) EXPECT_LT(beside->column.pixel(0, y)[0], 60) << width << " row " << y;
    }
}

TEST(MiddleColumn, RefusesWhatIsNotAWholeJpeg) {
    std::vector<uint8_t> jpeg = pictrex::EncodeJpeg(Gradient(64, 48), 90);
    EXPECT_FALSE(pictrex::DecodeJpegMiddleColumn(std::span(jpeg).first(jpeg.size() / 2)));
    EXPECT_FALSE(pictrex::DecodeJpegMiddleColumn(std::vector<uint8_t>{'n', 'o'}));
    EXPECT_FALSE(pictrex::DecodeJpegMiddleColumn(std::vector<uint8_t>{}));
}

TEST(Keogram, ScalesLaterPicturesToTheFirstHeight) {
    Keogram keogram;
    EXPECT_EQ(keogram.Render().width, 0);
    keogram.Add(*pictrex::DecodeJpegMiddleColumn(pictrex::EncodeJpeg(Gradient(40, 30), 100)));
    keogram.Add(*pictrex::DecodeJpegMiddleColumn(pictrex::EncodeJpeg(Gradient(80, 60), 100)));
    const pictrex::Image image = keogram.Render();
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 30);
    EXPECT_NEAR(image.pixel(1, 29)[1], 255, 10);
    EXPECT_NEAR(image.pixel(1, 0)[1], image.pixel(0, 0)[1], 10);
}

}  // namespace
}  // namespace tessel::daily
