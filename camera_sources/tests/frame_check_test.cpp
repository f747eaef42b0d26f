#include "frame_check.h"

#include <gtest/gtest.h>

#include <vector>

namespace tessel::camera_sources {
namespace {

std::vector<uint8_t> Bytes(std::initializer_list<int> values) { return std::vector<uint8_t>(values.begin(), values.end()); }

TEST(FindWholeJpeg, NeedsBothMarkersAndAllowsPaddingAfterTheEnd) {
    struct Case {
        std::vector<uint8_t> bytes;
        std::optional<std::size_t> length;  // nothing: refused
        const char* says;
    };
    const Case cases[] = {
        {Bytes({0xFF, 0xD8, 0x12, 0x34, 0xFF, 0xD9}), 6, ""},
        {Bytes({0xFF, 0xD8, 0x12, 0x34, 0xFF, 0xD9, 0x00, 0x00, 0xFF}), 6, ""},  // webcam padding
        {Bytes({0xFF, 0xD8, 0x12, 0x34, 0x56, 0x78}), std::nullopt, "no end-of-image marker"},
        {Bytes({0xFF, 0xD8, 0x12, 0x34, 0xFF, 0xD9, 0x41}), std::nullopt, "no end-of-image marker"},
        {Bytes({'<', 'h', 't', 'm', 'l', '>'}), std::nullopt, "not a JPEG"},
        {Bytes({0xFF, 0xD8}), std::nullopt, "not a JPEG"},
        {Bytes({}), std::nullopt, "not a JPEG"},
    };
    for (const Case& c : cases) {
        std::string problem;
        const auto extent = FindWholeJpeg(c.bytes, problem);
        ASSERT_EQ(extent.has_value(), c.length.has_value()) << problem;
        if (extent) EXPECT_EQ(extent->length, *c.length);
        else EXPECT_NE(problem.find(c.says), std::string::npos) << problem;
    }
}

RgbFrame Filled(int width, int height, uint8_t r, uint8_t g, uint8_t b) {
    RgbFrame frame{width, height, {}};
    for (int i = 0; i < width * height; ++i) frame.rgb.insert(frame.rgb.end(), {r, g, b});
    return frame;
}

// Paints rows from `firstRow` to the bottom.
void PaintRows(RgbFrame& frame, int firstRow, uint8_t r, uint8_t g, uint8_t b) {
    for (std::size_t i = static_cast<std::size_t>(firstRow) * frame.width * 3; i < frame.rgb.size(); i += 3) {
        frame.rgb[i] = r;
        frame.rgb[i + 1] = g;
        frame.rgb[i + 2] = b;
    }
}

RgbFrame Noisy(int width, int height) {
    RgbFrame frame{width, height, {}};
    unsigned seed = 7;
    for (int i = 0; i < width * height * 3; ++i) {
        seed = seed * 1103515245 + 12345;
        frame.rgb.push_back(static_cast<uint8_t>(100 + (seed >> 16) % 60));
    }
    return frame;
}

TEST(ConcealmentProblem, FindsFlatGreyOrGreenBottomRows) {
    // A picture whose data ended early: the decoder left the lower part green (YCbCr all zero).
    RgbFrame cut = Noisy(64, 48);
    PaintRows(cut, 30, 0, 135, 0);
    const auto green = ConcealmentProblem(cut);
    ASSERT_TRUE(green);
    EXPECT_NE(green->find("flat green"), std::string::npos);

    // A decoder without a key frame shows mid grey everywhere.
    const auto grey = ConcealmentProblem(Filled(64, 48, 128, 128, 128));
    ASSERT_TRUE(grey);
    EXPECT_NE(grey->find("flat grey"), std::string::npos);
    EXPECT_TRUE(ConcealmentProblem(Filled(64, 48, 130, 129, 131)));  // limited-range grey

    // Only the bottom counts: a flat grey top over a real picture is a picture.
    RgbFrame top = Filled(64, 48, 128, 128, 128);
    const RgbFrame noise = Noisy(64, 48);
    std::copy(noise.rgb.begin() + 40 * 64 * 3, noise.rgb.end(), top.rgb.begin() + 40 * 64 * 3);
    EXPECT_FALSE(ConcealmentProblem(top));
}

TEST(ConcealmentProblem, AcceptsRealPicturesAndOtherFlatColours) {
    EXPECT_FALSE(ConcealmentProblem(Noisy(64, 48)));
    EXPECT_FALSE(ConcealmentProblem(Filled(64, 48, 0, 0, 0)));        // night
    EXPECT_FALSE(ConcealmentProblem(Filled(64, 48, 255, 0, 0)));      // a red test card
    EXPECT_FALSE(ConcealmentProblem(Filled(64, 48, 0, 255, 0)));      // full green is not the decoder's green
    EXPECT_FALSE(ConcealmentProblem(Filled(64, 48, 200, 200, 200)));  // a light grey wall
    RgbFrame almostFlat = Filled(64, 48, 128, 128, 128);
    almostFlat.rgb[almostFlat.rgb.size() - 2] = 134;  // one pixel in the bottom rows differs
    EXPECT_FALSE(ConcealmentProblem(almostFlat));
}

TEST(ConcealmentProblem, RefusesAnEmptyFrame) { EXPECT_TRUE(ConcealmentProblem(RgbFrame{})); }

}  // namespace
}  // namespace tessel::camera_sources
