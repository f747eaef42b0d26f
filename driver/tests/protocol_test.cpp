// The protocol below the C interface: reading both status layouts, and the emulator's side of
// exchanges the library itself does not make (thumbnails, resolution, refused speed codes).
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <fstream>

#include "camera_link.h"
#include "camera_status.h"
#include "driver_fixture.h"

namespace dc2x::testing {
namespace {

using std::chrono::milliseconds;

struct StatusCase {
    const char* name;
    std::vector<std::pair<std::size_t, uint8_t>> bytes;
    Model model;
    int pictures;
    int resolution;
    int free;
    friend void PrintTo(const StatusCase& c, std::ostream* os) { *os << c.name; }
};

class StatusLayout : public ::testing::TestWithParam<StatusCase> {};

TEST_P(StatusLayout, IsReadByTheAttachedModel) {
    const StatusCase& c = GetParam();
    std::array<uint8_t, kStatusBytes> reply{};
    for (const auto& [offset, value] : c.bytes) reply[offset] = value;
    const dc25::CameraStatus s = dc25::ParseStatus(reply, Model::Dc25);
    EXPECT_EQ(s.model, c.model);
    EXPECT_EQ(s.pictures, c.pictures);
    EXPECT_EQ(s.resolution, c.resolution);
    EXPECT_EQ(s.freeAtResolution, c.free);
}

INSTANTIATE_TEST_SUITE_P(
    Replies, StatusLayout,
    ::testing::Values(
        // DC20: 16-bit big-endian counts at 8 and 10, resolution at 23.
        StatusCase{"Dc20", {{1, 0x20}, {8, 1}, {9, 2}, {10, 0}, {11, 7}, {23, 1}, {17, 9}}, Model::Dc20, 258, 1, 7},
        // DC25: the two counts at 17 and 19 add up; resolution at 11 picks the free count.
        StatusCase{"Dc25High", {{1, 0x25}, {17, 3}, {19, 4}, {11, 0}, {21, 5}, {23, 11}, {9, 2}}, Model::Dc25, 7, 0, 5},
        StatusCase{"Dc25Low", {{1, 0x25}, {17, 3}, {19, 4}, {11, 1}, {21, 5}, {23, 11}}, Model::Dc25, 7, 1, 11},
        // Neither model named: read as the model the caller expects.
        StatusCase{"Unknown", {{1, 0x30}, {17, 2}, {19, 1}}, Model::Dc25, 3, 0, 0}),
    [](const auto& info) { return std::string(info.param.name); });

// Talks to the emulator directly through the library's link layer.
class EmulatorProtocol : public DriverTest {
protected:
    void Connect(const std::vector<std::string>& arguments) {
        StartEmulator(arguments);
        port_ = std::make_unique<dc25::SerialPort>(emulator_->path(), dc25::Trace(false));
        port_->SetSpeed(kPowerUpBaud);
        link_ = std::make_unique<dc25::CameraLink>(*port_, dc25::Timeouts{}.Scaled(0.4));
    }

    uint8_t Ask(Command code, uint8_t a = 0, uint8_t b = 0) {
        link_->Send(code, a, b);
        uint8_t reply = 0xFF;
        EXPECT_TRUE(link_->TryReadByte(reply, milliseconds(2000)));
        return reply;
    }

    void Snap() {
        ASSERT_EQ(Ask(Command::Snap), kAccepted);
        link_->Expect(kDone, milliseconds(5000), "snap");
    }

    std::vector<uint8_t> Thumbnail(int number, std::size_t blocks) {
        EXPECT_EQ(Ask(Command::GetThumbnail, 0, static_cast<uint8_t>(number)), kAccepted);
        return link_->ReceiveBlocks(kBlockBytes, [blocks](auto) { return blocks; });
    }

    std::unique_ptr<dc25::SerialPort> port_;
    std::unique_ptr<dc25::CameraLink> link_;
};

// A uniform scene makes every thumbnail pixel predictable.
void WriteUniformScene(const std::string& path, uint8_t r, uint8_t g, uint8_t b) {
    std::ofstream out(path, std::ios::binary);
    out << "P6 4 3 255\n";
    for (int i = 0; i < 12; ++i) out << r << g << b;
}

TEST_F(EmulatorProtocol, Dc25ThumbnailIsEightyBySixtyRgbInFifteenBlocks) {
    WriteUniformScene(scenePath_, 200, 100, 50);
    Connect({"--model", "dc25"});
    Snap();
    const std::vector<uint8_t> t = Thumbnail(1, 15);
    ASSERT_EQ(t.size(), 15u * 1024);
    for (std::size_t i = 0; i < 14400; i += 3) {
        ASSERT_EQ(t[i], 200);
        ASSERT_EQ(t[i + 1], 100);
        ASSERT_EQ(t[i + 2], 50);
    }
    EXPECT_TRUE(std::all_of(t.begin() + 14400, t.end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(EmulatorProtocol, Dc20ThumbnailIsEightyBySixtyGreyInFiveBlocks) {
    WriteUniformScene(scenePath_, 200, 100, 50);
    Connect({"--model", "dc20"});
    Snap();
    const std::vector<uint8_t> t = Thumbnail(1, 5);
    ASSERT_EQ(t.size(), 5u * 1024);
    const uint8_t grey = t[0];
    EXPECT_GT(grey, 50);
    EXPECT_LT(grey, 200);
    EXPECT_TRUE(std::all_of(t.begin(), t.begin() + 4800, [grey](uint8_t v) { return v == grey; }));
    EXPECT_TRUE(std::all_of(t.begin() + 4800, t.end(), [](uint8_t v) { return v == 0; }));
}

TEST_F(EmulatorProtocol, AnswersWhatItCannotDoOrDoesNotKnow) {
    Connect({"--model", "dc20"});
    EXPECT_EQ(Ask(Command::SetSpeed, 0x23, 0x04), kErrorUnknown) << "230400 is no DC20/DC25 speed";
    EXPECT_EQ(Ask(Command::GetPicture, 0, 1), kErrorTimeout) << "no picture 1 yet";
    EXPECT_EQ(Ask(Command::SetFlash, 0, 0), kErrorUnknown) << "a DC20 has no flash command";
    ASSERT_EQ(Ask(Command::SetResolution, 1, 0), kAccepted) << "an empty DC20 may change resolution";
    link_->Expect(kDone, milliseconds(2000), "set resolution");
    Snap();
    EXPECT_EQ(Ask(Command::SetResolution, 0, 0), kErrorTimeout) << "a DC20 holding pictures may not";
    EXPECT_EQ(Ask(Command::Erase, 0, 1), kErrorUnknown) << "a DC20 has no single erase";
    EXPECT_EQ(Ask(Command{0x55}), kErrorUnknown);
}

TEST_F(EmulatorProtocol, HearsNothingAtAnotherSpeed) {
    Connect({"--start-speed", "38400"});
    link_->Send(Command::GetStatus);
    uint8_t reply = 0;
    EXPECT_FALSE(link_->TryReadByte(reply, milliseconds(500)));
    port_->SetSpeed(38400);
    EXPECT_EQ(Ask(Command::GetStatus), kAccepted);
}

}  // namespace
}  // namespace dc2x::testing
