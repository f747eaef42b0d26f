#include "checked_picture.h"

#include <gtest/gtest.h>

#include "camera_servers.h"

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
