#include "checked_picture.h"

#include <gtest/gtest.h>

#include "camera_servers.h"
#include "imaging/jpeg_io.h"

namespace tessel::camera_sources {
namespace {

TEST(CheckedJpeg, KeepsAWholeJpegAsSent) {
    const std::vector<uint8_t> jpeg = testing::SampleJpeg(320, 240);
    const GrabResult result = CheckedJpeg(jpeg);
    ASSERT_TRUE(result) << result.reason;
    const auto& picture = std::get<CameraJpeg>(*result.picture);
    EXPECT_EQ(picture.bytes, jpeg);
    EXPECT_EQ(picture.width, 320);
    EXPECT_EQ(picture.height, 240);
}

// A JPEG whose lower rows are one colour: the decoder's green of a picture cut short, or red.
std::vector<uint8_t> JpegWithBottom(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    const std::vector<uint8_t> top = testing::SampleJpeg(width, height);
    std::string problem;
    imaging::Image image = *imaging::DecodeJpeg(top, problem);
    for (int y = height * 2 / 3; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            uint8_t* pixel = imaging::PixelAt(image, x, y);
            pixel[0] = r;
            pixel[1] = g;
            pixel[2] = b;
        }
    }
    return imaging::EncodeJpeg(image, 95);
}

TEST(CheckedJpeg, RefusesAWholeJpegWithTheGreenBottomOfAConcealedCut) {
    // Odd sizes: the rows checked start where the halved colour rows start.
    for (const auto& [width, height] : {std::pair{320, 240}, std::pair{65, 49}}) {
        const GrabResult green = CheckedJpeg(JpegWithBottom(width, height, 0, 135, 0));
        EXPECT_EQ(green.failure, GrabFailure::GreyFrame) << width << "x" << height << ": " << green.reason;
        EXPECT_NE(green.reason.find("flat green"), std::string::npos) << green.reason;
        const GrabResult red = CheckedJpeg(JpegWithBottom(width, height, 255, 0, 0));
        EXPECT_TRUE(red) << width << "x" << height << ": " << red.reason;
    }
}

TEST(CheckedJpeg, DropsPaddingAfterTheEndMarker) {
    const std::vector<uint8_t> jpeg = testing::SampleJpeg(64, 48);
    std::vector<uint8_t> padded = jpeg;
    padded.insert(padded.end(), 100, 0);
    const GrabResult result = CheckedJpeg(padded);
    ASSERT_TRUE(result) << result.reason;
    EXPECT_EQ(std::get<CameraJpeg>(*result.picture).bytes, jpeg);
}

// The decoders conceal damage: each of these would "decode" into a picture with a green bottom.
TEST(CheckedJpeg, RefusesJpegsThatDoNotDecodeCompletely) {
    const std::vector<uint8_t> jpeg = testing::SampleJpeg(320, 240);
    const std::vector<uint8_t> cut(jpeg.begin(), jpeg.begin() + static_cast<long>(jpeg.size() / 2));
    std::vector<uint8_t> cutWithEnd = cut;  // a cut picture with an end marker glued on
    cutWithEnd.insert(cutWithEnd.end(), {0xFF, 0xD9});
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        GrabFailure failure;
    };
    const Case cases[] = {
        {"cut", cut, GrabFailure::IncompleteFrame},
        {"cut with end marker", cutWithEnd, GrabFailure::IncompleteFrame},
        {"html", std::vector<uint8_t>{'<', 'h', 't', 'm', 'l', '>', '<', '/', 'h', 't', 'm', 'l', '>'},
         GrabFailure::NotAPicture},
    };
    for (const Case& c : cases) {
        const GrabResult result = CheckedJpeg(c.bytes);
        EXPECT_FALSE(result) << c.name;
        EXPECT_EQ(result.failure, c.failure) << c.name << ": " << result.reason;
        EXPECT_FALSE(result.reason.empty());
    }
}

}  // namespace
}  // namespace tessel::camera_sources
