// The station's capture cycle with the real driver library and the emulated camera: the whole
// road of a picture, from the snap to the image file, with the picture deleted afterwards.
#include <gtest/gtest.h>

#include <stdlib.h>

#include <filesystem>
#include <fstream>
#include <iterator>

#include "control_ids.h"
#include "driver_fixture.h"
#include "scripted_view.h"
#include "station_dialog.h"
#include "station_fakes.h"

namespace dc2x::testing {
namespace {

namespace fs = std::filesystem;

constexpr const char* kSuccess =
    "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture Finished Processing";
// The station's test clock stands at 1999-10-15 08:30:05 UTC.
constexpr const char* kStamp = "19991015083005";

std::vector<uint8_t> ReadAll(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

struct StationCase {
    const char* model;
    int32_t cameraIndex;
    friend void PrintTo(const StationCase& c, std::ostream* os) { *os << c.model; }
};

class StationCycle : public DriverTest, public ::testing::WithParamInterface<StationCase> {
protected:
    void SetUp() override {
        DriverTest::SetUp();
        std::string pattern = (fs::temp_directory_path() / "dc2x-station-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        webDirectory_ = pattern;
        previousDirectory_ = fs::current_path();
        fs::current_path(webDirectory_);
    }
    void TearDown() override {
        fs::current_path(previousDirectory_);
        fs::remove_all(webDirectory_);
        DriverTest::TearDown();
    }

    fs::path webDirectory_;
    fs::path previousDirectory_;
    tessel::testing::ScriptedView view;
    tessel::testing::RecordingTimer timer;
    tessel::testing::FakeClock clock;
    tessel::testing::RecordingSleeper sleeper;
    tessel::testing::RecordingLauncher launcher;
    tessel::StationDialog station{view, timer, clock, sleeper, launcher};
};

TEST_P(StationCycle, StoresTheServedPictureAndDeletesItFromTheCamera) {
    StartEmulator({"--model", GetParam().model});
    station.UpdateData(false);  // the window shows the defaults: COM1, 115200
    view.combos[tessel::IDC_CAMERA] = GetParam().cameraIndex;

    station.RunCaptureCycle();

    EXPECT_EQ(station.status, kSuccess);
    EXPECT_EQ(ReadAll(webDirectory_ / ("image" + std::string(kStamp) + ".dc2")),
              ExpectedPicture(rawformat::Resolution::High));
    EXPECT_EQ(launcher.starts, std::vector<std::string>{std::string(kStamp) + " ARCHIVE"});

    // The station closed everything: another session opens the camera and finds it empty.
    StationRecords& r = Records(1, GetParam().cameraIndex + 102);
    OpenCamera(r);
    r.picture.pictureNumber = 1;
    std::vector<uint8_t> buffer(rawformat::kHighResolutionBytes);
    r.buffer = DC25PictureBuffer{buffer.data(), static_cast<uint32_t>(buffer.size()), 0};
    EXPECT_EQ(DC25_GetNativePicture(&r.camera, 0, &r.picture, &r.buffer, &r.downloadWord), DC25_E_CAMERA_EMPTY);
}

INSTANTIATE_TEST_SUITE_P(Models, StationCycle,
                         ::testing::Values(StationCase{"dc20", 0}, StationCase{"dc25", 1}),
                         [](const auto& info) { return std::string(info.param.model); });

}  // namespace
}  // namespace dc2x::testing
