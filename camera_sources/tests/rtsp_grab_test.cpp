// Grabs from GStreamer's RTSP server on loopback (H.264 and H.265 over TCP).
#include <gtest/gtest.h>

#include <future>
#include <thread>

#include "camera_servers.h"
#include "grab_test_helpers.h"

namespace tessel::camera_sources {
namespace {

using namespace std::chrono_literals;

bool IsRed(const MeanColour& c) { return c.r > 180 && c.g < 70 && c.b < 70; }
bool IsBlue(const MeanColour& c) { return c.b > 180 && c.r < 70 && c.g < 70; }

class RtspCodecGrab : public ::testing::TestWithParam<const char*> {};

// The test card's colour bars run from white on the left to blue on the right.
TEST_P(RtspCodecGrab, DecodesTheFirstKeyFrame) {
    std::string skipReason;
    const auto server = testing::CameraServer::Rtsp({"--codec", GetParam(), "--pattern", "smpte"}, skipReason);
    if (!server) GTEST_SKIP() << skipReason;
    const TimedGrab grab = GrabFrom(server->Url(), 10s);
    ASSERT_TRUE(grab.result) << grab.result.reason;
    const auto& frame = std::get<RgbFrame>(*grab.result.picture);
    EXPECT_EQ(frame.width, 640);
    EXPECT_EQ(frame.height, 360);
    const uint8_t* left = &frame.rgb[(static_cast<std::size_t>(frame.height / 4) * frame.width + 20) * 3];
    const uint8_t* right = &frame.rgb[(static_cast<std::size_t>(frame.height / 4) * frame.width + frame.width - 20) * 3];
    EXPECT_GT(left[0], 180);
    EXPECT_GT(left[1], 180);
    EXPECT_GT(left[2], 180);
    EXPECT_LT(right[0], 70);
    EXPECT_LT(right[1], 70);
    EXPECT_GT(right[2], 180);
}

INSTANTIATE_TEST_SUITE_P(Codecs, RtspCodecGrab, ::testing::Values("h264", "h265"));

// The stream runs on (a viewer watches it, joining clients do not restart it) and turns from red
// to blue when the test says so: a grab begun after that sees blue.
TEST(RtspGrab, TheFrameIsMadeAfterTheGrabBegan) {
    std::string skipReason;
    const auto server = testing::CameraServer::Rtsp({"--continuous", "--pattern", "red", "--switch-to", "blue"},
                                                    skipReason);
    if (!server) GTEST_SKIP() << skipReason;
    const testing::RtspViewer viewer(server->Url(), server->process().port());
    const TimedGrab before = GrabFrom(server->Url(), 10s);
    ASSERT_TRUE(before.result) << before.result.reason;
    EXPECT_TRUE(IsRed(MiddleColour(*before.result.picture)));

    server->process().Signal(SIGUSR1);
    const auto until = std::chrono::steady_clock::now() + 10s;
    while (server->process().Log().find("switched") == std::string::npos && std::chrono::steady_clock::now() < until) {
        std::this_thread::sleep_for(20ms);
    }
    const TimedGrab after = GrabFrom(server->Url(), 10s);
    ASSERT_TRUE(after.result) << after.result.reason;
    EXPECT_TRUE(IsBlue(MiddleColour(*after.result.picture)));
}

// Every key frame arrives in two incomplete halves; the decoder would conceal the missing half.
TEST(RtspGrab, AKeyFrameThatDoesNotDecodeWholeIsRefused) {
    std::string skipReason;
    const auto server = testing::CameraServer::Rtsp({"--split-key-frames"}, skipReason);
    if (!server) GTEST_SKIP() << skipReason;
    const TimedGrab grab = GrabFrom(server->Url(), 3s);
    EXPECT_EQ(grab.result.failure, GrabFailure::IncompleteFrame) << grab.result.reason;
    EXPECT_NE(grab.result.reason.find("concealed"), std::string::npos) << grab.result.reason;
    EXPECT_LT(grab.took, 3s + kDeadlineSlack);
}

TEST(RtspGrab, LogsInWithCredentials) {
    std::string skipReason;
    const auto server =
        testing::CameraServer::Rtsp({"--user", "cam", "--password", testing::SnapshotServer::kPassword}, skipReason);
    if (!server) GTEST_SKIP() << skipReason;
    const SourceCredentials right{"cam", testing::SnapshotServer::kPassword};
    const SourceCredentials wrong{"cam", "Wrong-Secret-4711"};
    EXPECT_TRUE(GrabFrom(server->Url(), 10s, right).result);
    const std::string withUserInfo =
        "rtsp://cam:Open%40Sesame%2F1%25@" + server->Url().substr(std::string("rtsp://").size());
    EXPECT_TRUE(GrabFrom(withUserInfo, 10s).result);
    for (const auto& credentials : {std::optional<SourceCredentials>(), std::optional<SourceCredentials>(wrong)}) {
        const TimedGrab refused = GrabFrom(server->Url(), 10s, credentials);
        EXPECT_EQ(refused.result.failure, GrabFailure::Status) << refused.result.reason;
        EXPECT_NE(refused.result.reason.find("RTSP 401"), std::string::npos) << refused.result.reason;
        EXPECT_EQ(refused.result.reason.find("Wrong-Secret-4711"), std::string::npos) << refused.result.reason;
    }
}

// A key frame every 5 s (125 frames at 25 per second) in a stream that runs on (a viewer watches
// it, joining clients do not restart it) leaves gaps for grabs that find none.
TEST(RtspGrab, FaultsEndInTimeAndTheNextGrabWorks) {
    std::string skipReason;
    const auto server = testing::CameraServer::Rtsp({"--continuous", "--key-interval", "125"}, skipReason);
    if (!server) GTEST_SKIP() << skipReason;
    std::optional<testing::RtspViewer> viewer;
    viewer.emplace(server->Url(), server->process().port());
    ASSERT_TRUE(GrabFrom(server->Url(), 10s).result);  // returns just after a key frame

    const TimedGrab between = GrabFrom(server->Url(), 2s);
    EXPECT_EQ(between.result.failure, GrabFailure::NoKeyFrame) << between.result.reason;
    EXPECT_LT(between.took, 2s + kDeadlineSlack);

    // Stopped while the grab waits for a key frame.
    auto during = std::async(std::launch::async, [&] { return GrabFrom(server->Url(), 3s); });
    std::this_thread::sleep_for(200ms);
    server->process().Pause();
    const TimedGrab stalled = during.get();
    EXPECT_EQ(stalled.result.failure, GrabFailure::Timeout) << stalled.result.reason;
    EXPECT_NE(stalled.result.reason.find("stopped sending"), std::string::npos) << stalled.result.reason;
    EXPECT_LT(stalled.took, 3s + kDeadlineSlack);

    // Stopped before the grab: the connection is accepted, the setup never answered.
    const TimedGrab unanswered = GrabFrom(server->Url(), 2s);
    EXPECT_EQ(unanswered.result.failure, GrabFailure::Timeout) << unanswered.result.reason;
    EXPECT_LT(unanswered.took, 2s + kDeadlineSlack);
    server->process().Resume();
    EXPECT_TRUE(GrabFrom(server->Url(), 10s).result);

    viewer.reset();
    server->process().Stop();
    const TimedGrab gone = GrabFrom(server->Url(), 5s);
    EXPECT_EQ(gone.result.failure, GrabFailure::ConnectionRefused) << gone.result.reason;
    server->process().Restart();
    const TimedGrab back = GrabFrom(server->Url(), 10s);
    EXPECT_TRUE(back.result) << back.result.reason;
}

}  // namespace
}  // namespace tessel::camera_sources
