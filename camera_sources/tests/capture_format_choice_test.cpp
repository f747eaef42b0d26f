#include "capture_format_choice.h"

#include <gtest/gtest.h>

namespace tessel::camera_sources {
namespace {

constexpr CaptureFormat M = CaptureFormat::Mjpeg;
constexpr CaptureFormat Y = CaptureFormat::Yuyv;

// A typical USB webcam: YUYV up to 1280×720 at usable rates, MJPEG up to 1920×1080, and a 4K mode.
const std::vector<OfferedSize> kWebcam = {
    {Y, {640, 480}}, {Y, {1280, 720}}, {M, {640, 480}}, {M, {1280, 720}}, {M, {1920, 1080}}, {M, {3840, 2160}},
};

TEST(ChooseCapture, PicksTheNearestOrTheLargestUpToFullHd) {
    struct Case {
        std::vector<OfferedSize> offers;
        std::optional<VideoSize> asked;
        OfferedSize chosen;
    };
    const Case cases[] = {
        {kWebcam, std::nullopt, {M, {1920, 1080}}},
        {kWebcam, VideoSize{1280, 720}, {M, {1280, 720}}},     // both formats offer it: MJPEG
        {kWebcam, VideoSize{1300, 700}, {M, {1280, 720}}},     // nearest
        {kWebcam, VideoSize{4000, 3000}, {M, {3840, 2160}}},   // asked above the default limit
        {kWebcam, VideoSize{320, 240}, {M, {640, 480}}},
        {{{Y, {640, 480}}, {Y, {1920, 1080}}, {M, {1280, 720}}}, std::nullopt, {Y, {1920, 1080}}},
        // Only sizes above 1920×1080: the smallest of them.
        {{{M, {3840, 2160}}, {M, {2592, 1944}}}, std::nullopt, {M, {2592, 1944}}},
        // 1920×1200 does not fit 1920×1080; 1600×1200 does not either; 1280×1024 does.
        {{{Y, {1920, 1200}}, {Y, {1600, 1200}}, {Y, {1280, 1024}}}, std::nullopt, {Y, {1280, 1024}}},
    };
    for (const Case& c : cases) {
        const auto chosen = ChooseCapture(c.offers, c.asked);
        ASSERT_TRUE(chosen);
        EXPECT_EQ(*chosen, c.chosen) << (c.asked ? c.asked->width : 0) << "x" << (c.asked ? c.asked->height : 0);
    }
}

TEST(ChooseCapture, NothingWhenNothingIsOffered) { EXPECT_FALSE(ChooseCapture({}, VideoSize{640, 480})); }

TEST(CandidateSizes, TakesTheLargestUpToFullHdAndTheNearestOnTheRangesSteps) {
    const SizeRange range{{48, 32}, {4096, 2160}, 16, 8};
    // 1920 - 48 = 1872 = 117 steps of 16; 1080 - 32 = 1048 = 131 steps of 8.
    EXPECT_EQ(CandidateSizes(range, std::nullopt), (std::vector<VideoSize>{{1920, 1080}}));
    EXPECT_EQ(CandidateSizes(range, VideoSize{1000, 565}), (std::vector<VideoSize>{{1920, 1080}, {1008, 568}}));
    EXPECT_EQ(CandidateSizes(range, VideoSize{9000, 10}), (std::vector<VideoSize>{{1920, 1080}, {4096, 32}}));
    const SizeRange small{{160, 120}, {800, 600}, 1, 1};
    EXPECT_EQ(CandidateSizes(small, VideoSize{800, 600}), (std::vector<VideoSize>{{800, 600}}));
}

}  // namespace
}  // namespace tessel::camera_sources
