// Whole camera sessions through the library's C interface against the emulator on a
// pseudo-terminal: take, download, delete and close for both models and resolutions, the line
// speeds, finding the camera, and a camera left at a fast speed.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <string>

#include "camera_link.h"
#include "driver_fixture.h"

namespace dc2x::testing {
namespace {

using rawformat::Resolution;

struct CycleCase {
    const char* name;
    const char* model;
    int32_t modelCode;
    Resolution resolution;
    uint32_t modelId;
    friend void PrintTo(const CycleCase& c, std::ostream* os) { *os << c.name; }
};

class FullCycle : public DriverTest, public ::testing::WithParamInterface<CycleCase> {};

// True when a camera answers a status request at the power-up speed: what a session that
// closed properly leaves behind.
bool AnswersAtPowerUpSpeed(const std::string& device) {
    dc25::SerialPort port(device, dc25::Trace(false));
    port.SetSpeed(kPowerUpBaud);
    dc25::CameraLink link(port, dc25::Timeouts{}.Scaled(0.4));
    link.Send(Command::GetStatus);
    uint8_t reply = 0;
    return link.TryReadByte(reply, std::chrono::milliseconds(1000)) && reply == kAccepted;
}

TEST_P(FullCycle, DownloadsWhatTheCameraServedThenDeletesAndRestoresTheSpeed) {
    const CycleCase& c = GetParam();
    EmulatorProcess& emulator =
        StartEmulator({"--model", c.model, "--resolution", c.resolution == Resolution::High ? "high" : "low"});
    StationRecords& r = Records(1, c.modelCode, 1152);
    OpenCamera(r);

    const std::vector<uint8_t> expected = ExpectedPicture(c.resolution);
    ASSERT_EQ(DC25_TakePicture(&r.camera, 0, 0, &r.picture, 0), DC25_OK);
    EXPECT_EQ(r.picture.bufferSize, expected.size());
    EXPECT_EQ(r.picture.pictureNumber, 1u);
    EXPECT_EQ(r.picture.modelId, c.modelId);

    // A larger buffer than asked for: the picture goes to its end, the rest stays untouched.
    std::vector<uint8_t> buffer(r.picture.bufferSize + 100, 0xA5);
    r.buffer = DC25PictureBuffer{buffer.data(), static_cast<uint32_t>(buffer.size()), 0};
    ASSERT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord), DC25_OK);
    ASSERT_EQ(r.picture.byteCount, expected.size());
    EXPECT_EQ(NativePicture(r, buffer), expected);
    EXPECT_TRUE(std::all_of(buffer.begin(), buffer.begin() + 100, [](uint8_t b) { return b == 0xA5; }));

    ASSERT_EQ(DC25_DeletePicture(&r.camera, 0, -1), DC25_OK);
    EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord), DC25_E_CAMERA_EMPTY);
    ASSERT_EQ(DC25_CloseCamera(&r.camera), DC25_OK);
    ASSERT_EQ(DC25_CloseDriver(&r.driver), DC25_OK);

    EXPECT_TRUE(AnswersAtPowerUpSpeed(emulator.path()));
}

INSTANTIATE_TEST_SUITE_P(
    ModelsAndResolutions, FullCycle,
    ::testing::Values(CycleCase{"Dc20High", "dc20", kDc20Code, Resolution::High, 0x20},
                      CycleCase{"Dc20Low", "dc20", kDc20Code, Resolution::Low, 0x20},
                      CycleCase{"Dc25High", "dc25", kDc25Code, Resolution::High, 0x25},
                      CycleCase{"Dc25Low", "dc25", kDc25Code, Resolution::Low, 0x25}),
    [](const auto& info) { return std::string(info.param.name); });

// What deleting "the picture just taken" means: the DC25 erases that one picture, the DC20
// (which can only erase everything) all of them.
class DeleteTaken : public DriverTest {
protected:
    // Opens the camera and takes two pictures.
    StationRecords& TakeTwo(const char* model, int32_t code) {
        StartEmulator({"--model", model});
        StationRecords& r = Records(1, code);
        OpenCamera(r);
        EXPECT_EQ(TakeAndDownload(r, buffer), DC25_OK);
        EXPECT_EQ(TakeAndDownload(r, buffer), DC25_OK);
        EXPECT_EQ(r.picture.pictureNumber, 2u);
        return r;
    }

    std::vector<uint8_t> buffer;
};

TEST_F(DeleteTaken, ErasesOnlyThatPictureOnADc25) {
    StationRecords& r = TakeTwo("dc25", kDc25Code);
    ASSERT_EQ(DC25_DeletePicture(&r.camera, 0, -1), DC25_OK);

    EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord), DC25_E_BAD_CALL);
    r.picture.pictureNumber = 1;
    EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord), DC25_OK);
    EXPECT_EQ(NativePicture(r, buffer), ExpectedPicture(Resolution::High));
}

TEST_F(DeleteTaken, ErasesAllOnADc20) {
    StationRecords& r = TakeTwo("dc20", kDc20Code);
    EXPECT_EQ(DC25_DeletePicture(&r.camera, 0, 1), DC25_E_BAD_CALL) << "a DC20 has no single erase";
    ASSERT_EQ(DC25_DeletePicture(&r.camera, 0, -1), DC25_OK);

    r.picture.pictureNumber = 1;
    EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord), DC25_E_CAMERA_EMPTY);
}

struct SpeedCase {
    int32_t code;
    int16_t result;
    int baud;  // the speed the camera must end up at, when the open succeeds
    friend void PrintTo(const SpeedCase& c, std::ostream* os) { *os << "speed code " << c.code; }
};

class SpeedTable : public DriverTest, public ::testing::WithParamInterface<SpeedCase> {};

TEST_P(SpeedTable, OpensAtTheChosenSpeedOrRefusesIt) {
    const SpeedCase& c = GetParam();
    EmulatorProcess& emulator = StartEmulator({});
    StationRecords& r = Records(1, kDc25Code, c.code);
    ASSERT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_OK);
    ASSERT_EQ(DC25_OpenCamera(&r.camera), c.result);
    if (c.result != DC25_OK) {
        EXPECT_EQ(emulator.Log().find("command"), std::string::npos) << "nothing may be sent";
        return;
    }
    std::vector<uint8_t> buffer;
    ASSERT_EQ(TakeAndDownload(r, buffer), DC25_OK);
    EXPECT_EQ(NativePicture(r, buffer), ExpectedPicture(Resolution::High));
    EXPECT_NE(emulator.Log().find("speed now " + std::to_string(c.baud) + "\n"), std::string::npos)
        << emulator.Log();
}

INSTANTIATE_TEST_SUITE_P(Codes, SpeedTable,
                         ::testing::Values(SpeedCase{0, DC25_OK, 115200}, SpeedCase{96, DC25_OK, 9600},
                                           SpeedCase{192, DC25_OK, 19200}, SpeedCase{384, DC25_OK, 38400},
                                           SpeedCase{576, DC25_OK, 57600}, SpeedCase{1152, DC25_OK, 115200},
                                           SpeedCase{2304, DC25_E_UNSUPPORTED_SPEED, 0},
                                           SpeedCase{480, DC25_E_UNSUPPORTED_SPEED, 0},
                                           SpeedCase{-96, DC25_E_UNSUPPORTED_SPEED, 0}),
                         [](const auto& info) { return "Code" + std::to_string(info.param.code + 1000); });

// A session that died without restoring the speed leaves the camera fast: the next open must
// find it there.
class StuckCamera : public DriverTest, public ::testing::WithParamInterface<int> {};

TEST_P(StuckCamera, IsFoundAtItsSpeedAndBroughtToTheChosenOne) {
    EmulatorProcess& emulator = StartEmulator({"--start-speed", std::to_string(GetParam())});
    StationRecords& r = Records(1, kDc25Code, 576);
    OpenCamera(r);
    std::vector<uint8_t> buffer;
    ASSERT_EQ(TakeAndDownload(r, buffer), DC25_OK);
    EXPECT_EQ(NativePicture(r, buffer), ExpectedPicture(Resolution::High));
    EXPECT_NE(emulator.Log().find("speed now 57600\n"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(StartSpeeds, StuckCamera, ::testing::Values(115200, 19200));

TEST_F(DriverTest, AutoPortFindsTheCameraOnAMappedPort) {
    StartEmulator({}, 3);
    StationRecords& r = Records(0, kDc25Code, 0);
    OpenCamera(r);
    std::vector<uint8_t> buffer;
    ASSERT_EQ(TakeAndDownload(r, buffer), DC25_OK);
    EXPECT_EQ(NativePicture(r, buffer), ExpectedPicture(Resolution::High));
}

TEST_F(DriverTest, ThePortLinkOfTheEmulatorWorksAsADevice) {
    const std::string link =
        (std::filesystem::temp_directory_path() / ("dc2x-link-" + std::to_string(::getpid()))).string();
    StartEmulator({"--link", link});
    MapPorts({link});
    StationRecords& r = Records(1, kDc25Code);
    OpenCamera(r);
    std::vector<uint8_t> buffer;
    EXPECT_EQ(TakeAndDownload(r, buffer), DC25_OK);
    EXPECT_EQ(DC25_CloseCamera(&r.camera), DC25_OK);
    emulator_.reset();
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::symlink_status(link))) << "the link outlived the emulator";
}

struct ModelMismatch {
    const char* attached;
    int32_t chosen;
    uint32_t attachedId;
    friend void PrintTo(const ModelMismatch& c, std::ostream* os) { *os << c.attached << " attached"; }
};

class WrongModel : public DriverTest, public ::testing::WithParamInterface<ModelMismatch> {};

TEST_P(WrongModel, UsesTheAttachedModelAndSaysSo) {
    const ModelMismatch& c = GetParam();
    StartEmulator({"--model", c.attached});
    StationRecords& r = Records(1, c.chosen);
    ::testing::internal::CaptureStderr();
    ASSERT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_OK);
    const int16_t opened = DC25_OpenCamera(&r.camera);
    const std::string note = ::testing::internal::GetCapturedStderr();
    ASSERT_EQ(opened, DC25_OK);
    EXPECT_NE(note.find("attached"), std::string::npos) << note;

    std::vector<uint8_t> buffer;
    ASSERT_EQ(TakeAndDownload(r, buffer), DC25_OK);
    EXPECT_EQ(r.picture.modelId, c.attachedId);
    EXPECT_EQ(NativePicture(r, buffer), ExpectedPicture(Resolution::High));
    EXPECT_EQ(DC25_DeletePicture(&r.camera, 0, -1), DC25_OK);
}

INSTANTIATE_TEST_SUITE_P(Models, WrongModel,
                         ::testing::Values(ModelMismatch{"dc25", kDc20Code, 0x25},
                                           ModelMismatch{"dc20", kDc25Code, 0x20}),
                         [](const auto& info) { return std::string(info.param.attached) + "Attached"; });

TEST_F(DriverTest, TraceLogsTheExchangedBytes) {
    StartEmulator({});
    ::setenv("DC25_TRACE", "1", 1);
    StationRecords& r = Records(1, kDc25Code, 1152);
    ::testing::internal::CaptureStderr();
    OpenCamera(r);
    const std::string trace = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(trace.find("dc25v20: > 41 00 11 52 00 00 00 1a"), std::string::npos) << trace;
    EXPECT_NE(trace.find("dc25v20: < d1"), std::string::npos) << trace;
}

TEST_F(DriverTest, IsSilentWithoutTrace) {
    StartEmulator({});
    StationRecords& r = Records(1, kDc25Code, 1152);
    ::testing::internal::CaptureStderr();
    OpenCamera(r);
    std::vector<uint8_t> buffer;
    EXPECT_EQ(TakeAndDownload(r, buffer), DC25_OK);
    EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

}  // namespace
}  // namespace dc2x::testing
