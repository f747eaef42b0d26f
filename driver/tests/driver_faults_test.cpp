// The library against a misbehaving camera, a busy port and wrong calls: every failure comes
// back as its own result code, within the time bound, with the port released and nothing
// written outside the caller's buffer.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <stdlib.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <functional>
#include <limits>
#include <thread>

#include "driver_fixture.h"

namespace dc2x::testing {
namespace {

using rawformat::Resolution;

struct CorruptCase {
    int times;
    int16_t result;
    friend void PrintTo(const CorruptCase& c, std::ostream* os) { *os << c.times << " times"; }
};

class CorruptBlock : public DriverTest, public ::testing::WithParamInterface<CorruptCase> {};

// A block is tried at most five times; a block still bad then fails the download honestly,
// leaving the buffer alone, and the camera stays usable.
TEST_P(CorruptBlock, IsRetriedUpToFiveTimes) {
    const CorruptCase& c = GetParam();
    StartEmulator({"--corrupt-block", "7", "--corrupt-times", std::to_string(c.times)});
    StationRecords& r = Records();
    OpenCamera(r);
    ASSERT_EQ(DC25_TakePicture(&r.camera, 0, 0, &r.picture, 0), DC25_OK);
    std::vector<uint8_t> buffer(r.picture.bufferSize, 0x3C);
    r.buffer = DC25PictureBuffer{buffer.data(), static_cast<uint32_t>(buffer.size()), 0};
    ASSERT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord), c.result);
    if (c.result == DC25_OK) {
        EXPECT_EQ(NativePicture(r, buffer), ExpectedPicture(Resolution::High));
    } else {
        EXPECT_TRUE(std::all_of(buffer.begin(), buffer.end(), [](uint8_t b) { return b == 0x3C; }));
    }
    EXPECT_EQ(DC25_DeletePicture(&r.camera, 0, -1), DC25_OK);
    EXPECT_EQ(DC25_CloseCamera(&r.camera), DC25_OK);
}

INSTANTIATE_TEST_SUITE_P(Times, CorruptBlock,
                         ::testing::Values(CorruptCase{1, DC25_OK}, CorruptCase{4, DC25_OK},
                                           CorruptCase{5, DC25_E_CHECKSUM}),
                         [](const auto& info) { return "Corrupt" + std::to_string(info.param.times) + "Times"; });

struct LostCameraCase {
    const char* name;
    const char* fault;
    int16_t downloadResult;
    friend void PrintTo(const LostCameraCase& c, std::ostream* os) { *os << c.name; }
};

class LostCamera : public DriverTest, public ::testing::WithParamInterface<LostCameraCase> {};

// The bound the library documents for a camera that stops answering.
constexpr auto kStallBound = std::chrono::seconds(20);

TEST_P(LostCamera, FailsTheDownloadInTimeAndReleasesThePort) {
    const LostCameraCase& c = GetParam();
    EmulatorProcess& emulator = StartEmulator({c.fault, "40000"});
    const int descriptorsBefore = OpenDescriptorCount();
    StationRecords& r = Records();
    OpenCamera(r);
    std::vector<uint8_t> buffer;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(TakeAndDownload(r, buffer), c.downloadResult);
    EXPECT_LT(std::chrono::steady_clock::now() - start, kStallBound);

    EXPECT_NE(DC25_CloseCamera(&r.camera), DC25_OK) << "the camera no longer answers";
    EXPECT_EQ(DC25_CloseDriver(&r.driver), DC25_OK);
    EXPECT_EQ(OpenDescriptorCount(), descriptorsBefore);

    // Nothing holds the device any more: it can be locked again (a hung-up terminal is gone).
    const int fd = ::open(emulator.path().c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (fd >= 0) {
        EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
        ::close(fd);
    }
}

INSTANTIATE_TEST_SUITE_P(Faults, LostCamera,
                         ::testing::Values(LostCameraCase{"Stall", "--stall-after", DC25_E_NO_ANSWER},
                                           LostCameraCase{"HangUp", "--hangup-after", DC25_E_PORT_LOST}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST_F(DriverTest, APortHeldByAnotherProcessIsBusy) {
    EmulatorProcess& emulator = StartEmulator({});
    int ready[2];
    int release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t other = ::fork();
    ASSERT_GE(other, 0);
    if (other == 0) {
        ::close(ready[0]);
        ::close(release[1]);
        // Another station: it opens the camera and holds it until told to let go.
        StationRecords held(1, kDc25Code, 1152);
        const char result = DC25_OpenDriver(&held.openInfo, &held.driver) == DC25_OK &&
                                    DC25_OpenCamera(&held.camera) == DC25_OK
                                ? 'y'
                                : 'n';
        (void)!::write(ready[1], &result, 1);
        char ignored = 0;
        (void)!::read(release[0], &ignored, 1);
        DC25_CloseCamera(&held.camera);
        DC25_CloseDriver(&held.driver);
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char otherOpened = 0;
    ASSERT_EQ(::read(ready[0], &otherOpened, 1), 1);
    ::close(ready[0]);
    ASSERT_EQ(otherOpened, 'y') << emulator.Log();

    StationRecords& r = Records();
    ASSERT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_OK);
    EXPECT_EQ(DC25_OpenCamera(&r.camera), DC25_E_PORT_BUSY);

    ::close(release[1]);
    int status = 0;
    ASSERT_EQ(::waitpid(other, &status, 0), other);
    EXPECT_EQ(DC25_OpenCamera(&r.camera), DC25_OK) << "the lock must go with the other station";
}

// A buffer too small for the picture: nothing is written, not even inside the buffer. The
// size check also holds when the camera's header announces a larger picture than the one
// the caller sized the buffer for.
TEST_F(DriverTest, ABufferTooSmallIsRefusedWithoutWriting) {
    StartEmulator({});
    StationRecords& r = Records();
    OpenCamera(r);
    ASSERT_EQ(DC25_TakePicture(&r.camera, 0, 0, &r.picture, 0), DC25_OK);
    const uint32_t low = static_cast<uint32_t>(rawformat::kLowResolutionBytes);
    std::vector<uint8_t> guarded(r.picture.bufferSize + 64, 0x77);
    uint8_t* inside = guarded.data() + 32;

    struct Case {
        uint8_t* data;
        uint32_t size;
        uint32_t claimedResolution;
    };
    const Case cases[] = {
        {inside, r.picture.bufferSize - 1, 0},
        {nullptr, r.picture.bufferSize, 0},
        {inside, low, 1},  // the header says high resolution: 124 928 bytes do not fit
    };
    for (const Case& c : cases) {
        DC25PictureInfo picture = r.picture;
        picture.resolution = c.claimedResolution;
        r.buffer = DC25PictureBuffer{c.data, c.size, 0};
        EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, &picture, &r.buffer, &r.downloadWord),
                  DC25_E_BUFFER_TOO_SMALL);
        EXPECT_TRUE(std::all_of(guarded.begin(), guarded.end(), [](uint8_t b) { return b == 0x77; }));
    }
    EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, nullptr, &r.downloadWord), DC25_E_BUFFER_TOO_SMALL);
}

// The speed the emulator's camera was last set to, from its log; 9600 when never changed.
int LastCameraSpeed(const std::string& log) {
    const std::string mark = "speed now ";
    const std::size_t at = log.rfind(mark);
    return at == std::string::npos ? 9600 : std::stoi(log.substr(at + mark.size()));
}

// The emulator logs a speed change just after its reply: gives it a moment to get there.
int SettledCameraSpeed(const EmulatorProcess& emulator, int expected) {
    const auto stop = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    int speed = LastCameraSpeed(emulator.Log());
    while (speed != expected && std::chrono::steady_clock::now() < stop) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
        speed = LastCameraSpeed(emulator.Log());
    }
    return speed;
}

class RefusedSnap : public DriverTest, public ::testing::WithParamInterface<int32_t> {};

// Both models: a refused snap is a refusal, and the camera and the host stay in step, so that
// closing sets the camera back to its power-up speed. (A DC20 answers the snap at 9600, so its
// refusal is the one that tests whether the host returns to the set speed.)
TEST_P(RefusedSnap, FailsTheTakeAndClosingRestoresThePowerUpSpeed) {
    EmulatorProcess& emulator = StartEmulator({"--model", GetParam() == kDc20Code ? "dc20" : "dc25", "--refuse", "77"});
    StationRecords& r = Records(1, GetParam());
    OpenCamera(r);
    EXPECT_EQ(DC25_TakePicture(&r.camera, 0, 0, &r.picture, 0), DC25_E_REFUSED);
    EXPECT_EQ(DC25_DeletePicture(&r.camera, 0, -1), DC25_E_BAD_CALL) << "no picture was taken";
    EXPECT_EQ(DC25_CloseCamera(&r.camera), DC25_OK);
    EXPECT_EQ(SettledCameraSpeed(emulator, 9600), 9600) << emulator.Log();
}

INSTANTIATE_TEST_SUITE_P(Models, RefusedSnap, ::testing::Values(kDc20Code, kDc25Code),
                         [](const auto& info) { return info.param == kDc20Code ? "Dc20" : "Dc25"; });

// Speed codes far outside the known ones are refused before any arithmetic on them.
TEST_F(DriverTest, UnknownSpeedCodesAreUnsupported) {
    StartEmulator({});
    for (const int32_t speed : {-1, 1, 95, 1153, 21474837, std::numeric_limits<int32_t>::max(),
                                std::numeric_limits<int32_t>::min()}) {
        StationRecords& r = Records(1, kDc25Code, speed);
        ASSERT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_OK);
        EXPECT_EQ(DC25_OpenCamera(&r.camera), DC25_E_UNSUPPORTED_SPEED) << "speed " << speed;
        EXPECT_EQ(DC25_CloseDriver(&r.driver), DC25_OK);
    }
}

TEST_F(DriverTest, AFullCameraTakesNoPicture) {
    StartEmulator({"--full", "--capacity", "2"});
    StationRecords& r = Records();
    OpenCamera(r);
    EXPECT_EQ(DC25_TakePicture(&r.camera, 0, 0, &r.picture, 0), DC25_E_REFUSED);
    ASSERT_EQ(DC25_DeletePicture(&r.camera, 0, 0), DC25_OK);
    std::vector<uint8_t> buffer;
    EXPECT_EQ(TakeAndDownload(r, buffer), DC25_OK);
    EXPECT_EQ(r.picture.pictureNumber, 1u);
}

TEST_F(DriverTest, AnEmptyCameraHasNothingToDownload) {
    StartEmulator({});
    StationRecords& r = Records();
    OpenCamera(r);
    r.picture.pictureNumber = 1;
    std::vector<uint8_t> buffer(rawformat::kHighResolutionBytes);
    r.buffer = DC25PictureBuffer{buffer.data(), static_cast<uint32_t>(buffer.size()), 0};
    EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord), DC25_E_CAMERA_EMPTY);
}

TEST_F(DriverTest, PortsThatAreNoCameraPortFailToOpen) {
    struct Case {
        const char* device;
        int32_t port;
        int16_t result;
    };
    const Case cases[] = {
        {"/nonexistent/ttyS9", 1, DC25_E_NO_SUCH_PORT},
        {"/dev/null", 1, DC25_E_NO_SUCH_PORT},  // exists, but no serial port
        {"/dev/null", 5, DC25_E_NO_SUCH_PORT},  // no COM5
        {"/dev/null", -1, DC25_E_NO_SUCH_PORT},
    };
    for (const Case& c : cases) {
        MapPorts({c.device});
        StationRecords& r = Records(c.port);
        ASSERT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_OK);
        EXPECT_EQ(DC25_OpenCamera(&r.camera), c.result) << c.device << " port " << c.port;
        EXPECT_EQ(DC25_CloseDriver(&r.driver), DC25_OK);
    }
}

// A serial line with nothing on its other end: every speed is tried, then the open fails.
TEST_F(DriverTest, ALineWithoutCameraDoesNotAnswer) {
    const int master = ::posix_openpt(O_RDWR | O_NOCTTY);
    ASSERT_GE(master, 0);
    ASSERT_EQ(::grantpt(master), 0);
    ASSERT_EQ(::unlockpt(master), 0);
    MapPorts({::ptsname(master)});
    StationRecords& r = Records();
    ASSERT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_OK);
    EXPECT_EQ(DC25_OpenCamera(&r.camera), DC25_E_NO_ANSWER);
    ::close(master);
}

// Calls out of order or with missing records fail with a code and change nothing.
TEST_F(DriverTest, CallsOutOfOrderFailWithACode) {
    StartEmulator({});
    StationRecords& r = Records();
    DC25DriverOpenInfo badVersion{0x0100, {}};
    DC25DriverRecord other{1, 1, 0, 0, 0};
    const std::vector<std::pair<const char*, std::function<int16_t()>>> beforeOpen{
        {"open camera, driver closed", [&] { return DC25_OpenCamera(&r.camera); }},
        {"take, nothing open", [&] { return DC25_TakePicture(&r.camera, 0, 0, &r.picture, 0); }},
        {"download, nothing open",
         [&] { return DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord); }},
        {"delete, nothing open", [&] { return DC25_DeletePicture(&r.camera, 0, -1); }},
        {"close camera, nothing open", [&] { return DC25_CloseCamera(&r.camera); }},
        {"close driver, not open", [&] { return DC25_CloseDriver(&r.driver); }},
        {"open driver, null info", [&] { return DC25_OpenDriver(nullptr, &r.driver); }},
        {"open driver, null record", [&] { return DC25_OpenDriver(&r.openInfo, nullptr); }},
        {"open driver, unknown version", [&] { return DC25_OpenDriver(&badVersion, &other); }},
        {"open camera, null", [] { return DC25_OpenCamera(nullptr); }},
        {"take, null camera", [&] { return DC25_TakePicture(nullptr, 0, 0, &r.picture, 0); }},
        {"close driver, null", [] { return DC25_CloseDriver(nullptr); }},
    };
    for (const auto& [what, call] : beforeOpen) EXPECT_EQ(call(), DC25_E_BAD_CALL) << what;

    ASSERT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_OK);
    EXPECT_EQ(DC25_OpenDriver(&r.openInfo, &r.driver), DC25_E_BAD_CALL) << "driver opened twice";
    r.camera.model = 104;
    EXPECT_EQ(DC25_OpenCamera(&r.camera), DC25_E_BAD_CALL) << "unknown model";
    r.camera.model = kDc25Code;
    ASSERT_EQ(DC25_OpenCamera(&r.camera), DC25_OK);
    EXPECT_EQ(DC25_OpenCamera(&r.camera), DC25_E_BAD_CALL) << "camera opened twice";
    EXPECT_EQ(DC25_TakePicture(&r.camera, 0, 0, nullptr, 0), DC25_E_BAD_CALL);
    EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, nullptr, &r.buffer, &r.downloadWord), DC25_E_BAD_CALL);
    EXPECT_EQ(DC25_DeletePicture(&r.camera, 0, -1), DC25_E_BAD_CALL) << "nothing taken yet";
    EXPECT_EQ(DC25_DeletePicture(&r.camera, 0, -2), DC25_E_BAD_CALL);

    // Closing the driver closes its camera: the camera record is no longer open.
    ASSERT_EQ(DC25_CloseDriver(&r.driver), DC25_OK);
    EXPECT_EQ(DC25_TakePicture(&r.camera, 0, 0, &r.picture, 0), DC25_E_BAD_CALL);
    EXPECT_EQ(DC25_CloseCamera(&r.camera), DC25_E_BAD_CALL);
    EXPECT_EQ(DC25_CloseDriver(&r.driver), DC25_E_BAD_CALL);
}

}  // namespace
}  // namespace dc2x::testing
