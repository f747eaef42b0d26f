#include "keogram.h"

#include <gtest/gtest.h>

#include "imaging/jpeg_io.h"

namespace tessel::daily {
namespace {

// A picture whose columns all differ: column x has red x, and rows grow green downwards.
imaging::Image Gradient(int width, int height) {
    imaging::Image image = imaging::BlankImage(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* p = imaging::PixelAt(image, x, y);
            p[0] = static_cast<uint8_t>(x * 255 / (width - 1));
            p[1] = static_cast<uint8_t>(y * 255 / (height - 1));
        }
    }
    return image;
}

TEST(Keogram, ScalesLaterPicturesToTheFirstHeight) {
    Keogram keogram;
    EXPECT_EQ(keogram.Render().width, 0);
    keogram.Add(*imaging::DecodeJpegMiddleColumn(imaging::EncodeJpeg(Gradient(40, 30), 100)));
    keogram.Add(*imaging::DecodeJpegMiddleColumn(imaging::EncodeJpeg(Gradient(80, 60), 100)));
    const imaging::Image image = keogram.Render();
    EXPECT_EQ(image.width, 2);
    EXPECT_EQ(image.height, 30);
    EXPECT_NEAR(image.pixel(1, 29)[1], 255, 10);
    EXPECT_NEAR(image.pixel(1, 0)[1], image.pixel(0, 0)[1], 10);
}

}  // namespace
}  // namespace tessel::daily
