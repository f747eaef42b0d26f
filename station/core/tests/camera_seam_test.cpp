// The capture cycle over the camera seam: the steps it asks of a camera, the status texts and
// reasons of failed steps, the picture stored under its kind, and the clean-up after an
// exception. Cameras of other kinds are played by a scripted JPEG camera without picture memory;
// the serial camera's reasons are checked against the scripted driver.
#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

#include "capture_timer.h"
#include "station_fixture.h"
#include "station_health.h"
#include "status_texts.h"

namespace tessel::testing {
namespace {

namespace fs = std::filesystem;

// The start and the end of a JPEG picture; the cycle stores whatever bytes it gets.
const std::string kJpegBytes("\xff\xd8\xff\xe0 a frame \xff\xd9", 15);

// A camera that answers from its script and logs the steps it is asked for.
class ScriptedCamera final : public Camera {
public:
    struct Script {
        bool keepsPictures = false;
        // A step with a failure fails with it.
        std::optional<StepFailure> open;
        std::optional<StepFailure> take;
        std::optional<StepFailure> fetch;
        std::optional<StepFailure> deletion;
        std::optional<StepFailure> close;
        // Take throws instead of answering.
        bool takeThrows = false;
    };

    bool Open(FailureReport& report) override { return Step("Open", script.open, report); }
    bool Take(FailureReport& report) override
    {
        if (script.takeThrows) {
            steps.push_back("Take");
            throw std::runtime_error("camera stand-in gave up");
        }
        return Step("Take", script.take, report);
    }
    std::optional<CameraPicture> Fetch(FailureReport& report) override
    {
        if (!Step("Fetch", script.fetch, report)) {
            return std::nullopt;
        }
        auto buffer = std::make_unique<uint8_t[]>(kJpegBytes.size());
        std::copy(kJpegBytes.begin(), kJpegBytes.end(), buffer.get());
        const std::span<const uint8_t> bytes(buffer.get(), kJpegBytes.size());
        return CameraPicture{std::move(buffer), bytes, kJpegPictureKind};
    }
    bool KeepsPictures() const override { return script.keepsPictures; }
    void DeletePicture(FailureReport& report) override { Step("DeletePicture", script.deletion, report); }
    void Close(FailureReport& report) override { Step("Close", script.close, report); }

    Script script;
    std::vector<std::string> steps;

private:
    bool Step(const char* name, const std::optional<StepFailure>& failure, FailureReport& report)
    {
        steps.push_back(name);
        if (failure) {
            report.Failed(*failure);
        }
        return !failure;
    }
};

// A station dialog that captures with a ScriptedCamera, in a fresh web directory.
class CameraSeamTest : public StationStandIns {
protected:
    std::string StoredName(const char* kind) const { return std::string("image") + kDefaultStamp + "." + kind; }

    ScriptedCamera* camera = nullptr;
    StationDialog station{view, timer, clock, sleeper, launcher, [this](const DriverRecords&) {
                              auto made = std::make_unique<ScriptedCamera>();
                              camera = made.get();
                              return made;
                          }};
};

struct SeamRow {
    const char* name;
    ScriptedCamera::Script script;
    const char* status;
    std::vector<std::string> steps;
    const char* reason;
    std::size_t pauses;
    bool stored;
};

void PrintTo(const SeamRow& row, std::ostream* out)
{
    *out << row.name;
}

using Script = ScriptedCamera::Script;

// `script` with `step` failing with `failure`.
Script Failing(std::optional<StepFailure> Script::*step, const StepFailure& failure, Script script = {})
{
    script.*step = failure;
    return script;
}

Script KeepingPictures(Script script)
{
    script.keepsPictures = true;
    return script;
}

const StepFailure kUnauthorised{kOpenCameraFailed, "HTTP 401"};
const StepFailure kGreyFrame{kTakePictureFailed, "grey frame"};
const StepFailure kNoMemory{kImageMallocFailed, "no memory for a picture of 6220800 bytes"};
const StepFailure kLocked{kDeletePictureFailed, "memory card locked"};
const StepFailure kGone{kCloseCameraFailed, "device gone"};

const std::vector<std::string> kOpened{"Open", "Close"};
const std::vector<std::string> kTaken{"Open", "Take", "Close"};
const std::vector<std::string> kFetched{"Open", "Take", "Fetch", "Close"};
const std::vector<std::string> kDeleted{"Open", "Take", "Fetch", "DeletePicture", "Close"};

class CameraCycleTest : public CameraSeamTest, public ::testing::WithParamInterface<SeamRow> {};

TEST_P(CameraCycleTest, AsksTheStepsReportsFailuresAndStoresThePicture)
{
    const SeamRow& row = GetParam();
    camera->script = row.script;

    station.RunCaptureCycle();

    EXPECT_EQ(station.status, row.status);
    EXPECT_EQ(camera->steps, row.steps);
    EXPECT_EQ(station.FailureReason(), row.reason);
    EXPECT_EQ(CycleSucceeded(station.status), std::string(row.reason).empty());
    EXPECT_EQ(sleeper.pauses, std::vector<uint32_t>(row.pauses, 100));
    EXPECT_EQ(ReadFile(StoredName(kJpegPictureKind)),
              row.stored ? std::optional<std::string>(kJpegBytes) : std::nullopt);
    EXPECT_FALSE(fs::exists(StoredName(kNativePictureKind)));
    const std::vector<std::string> converterStart{std::string(kDefaultStamp) + " ARCHIVE"};
    EXPECT_EQ(launcher.starts, row.stored ? converterStart : std::vector<std::string>{});
}

INSTANTIATE_TEST_SUITE_P(
    Steps, CameraCycleTest,
    ::testing::Values(
        SeamRow{"NoPictureMemory", {}, "Say \"Cheese!\" Acquiring Picture Creating Web Image Finished Processing",
                kFetched, "", 3, true},
        SeamRow{"OpenFails", Failing(&Script::open, kUnauthorised),
                "Say \"Cheese!\" OpenCamera Failed Finished Processing", kOpened, "HTTP 401", 0, false},
        SeamRow{"OpenFailureReplacesTheStatus",
                Failing(&Script::open, StepFailure{kOpenDriverFailed, "no driver", true}),
                "OpenDriver Failed Finished Processing", kOpened, "no driver", 0, false},
        SeamRow{"TakeFails", Failing(&Script::take, kGreyFrame),
                "Say \"Cheese!\" TakePicture Failed Finished Processing", kTaken, "grey frame", 1, false},
        SeamRow{"FetchFails", Failing(&Script::fetch, kNoMemory),
                "Say \"Cheese!\" Acquiring Picture Image malloc Failed Finished Processing", kFetched,
                kNoMemory.reason.c_str(), 2, false},
        SeamRow{"CloseFailsAfterTheStore", Failing(&Script::close, kGone),
                "Say \"Cheese!\" Acquiring Picture Creating Web Image CloseCamera Failed Finished Processing", kFetched,
                "device gone", 3, true},
        SeamRow{"LastFailureGivesTheReason", Failing(&Script::close, kGone, Failing(&Script::take, kGreyFrame)),
                "Say \"Cheese!\" TakePicture Failed CloseCamera Failed Finished Processing", kTaken, "device gone", 1,
                false},
        SeamRow{"PictureMemoryIsDeletedFrom", KeepingPictures({}),
                "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture Finished Processing", kDeleted,
                "", 4, true},
        SeamRow{"PictureMemoryIsDeletedFromAfterAFailedFetch", KeepingPictures(Failing(&Script::fetch, kNoMemory)),
                "Say \"Cheese!\" Acquiring Picture Image malloc Failed Deleting Picture Finished Processing", kDeleted,
                kNoMemory.reason.c_str(), 3, false},
        SeamRow{"DeleteFails", KeepingPictures(Failing(&Script::deletion, kLocked)),
                "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture DeletePicture Failed Finished "
                "Processing",
                kDeleted, "memory card locked", 4, true}),
    [](const ::testing::TestParamInfo<SeamRow>& info) { return info.param.name; });

TEST_F(CameraSeamTest, CameraWithoutPictureMemoryIsShownAtThreePoints)
{
    station.RunCaptureCycle();
    EXPECT_EQ(view.repaints, (std::vector<std::string>{
                                 "Say \"Cheese!\"",
                                 "Say \"Cheese!\" Acquiring Picture",
                                 "Say \"Cheese!\" Acquiring Picture Creating Web Image",
                             }));
}

TEST_F(CameraSeamTest, GoodCycleClearsTheReason)
{
    camera->script.take = kGreyFrame;
    station.RunCaptureCycle();
    ASSERT_EQ(station.FailureReason(), "grey frame");

    camera->script.take.reset();
    station.RunCaptureCycle();
    EXPECT_EQ(station.FailureReason(), "");
}

TEST_F(CameraSeamTest, StoringStepsGiveTheirReasonNamingTheFile)
{
    fs::create_directory(StoredName(kJpegPictureKind));

    station.RunCaptureCycle();

    EXPECT_EQ(station.status, "Say \"Cheese!\" Acquiring Picture FileOpen Failed Finished Processing");
    EXPECT_NE(station.FailureReason().find(StoredName(kJpegPictureKind)), std::string::npos)
        << station.FailureReason();
    EXPECT_EQ(camera->steps, kFetched);
}

TEST_F(CameraSeamTest, ExceptionInAStepStillClosesTheCameraAndTheScheduleGoesOn)
{
    camera->script.takeThrows = true;
    camera->script.close = kGone;  // nobody is left to hear of it

    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(station.OnTimer(kCaptureTimerId));
    const std::string log = ::testing::internal::GetCapturedStderr();

    EXPECT_EQ(camera->steps, kTaken);
    EXPECT_NE(log.find("camera stand-in gave up"), std::string::npos);
    EXPECT_EQ(station.status.find("CloseCamera Failed"), std::string::npos);
    EXPECT_EQ(timer.pending, 60000u);
}

// The serial camera's reasons: the library function and what its result code means.
struct SerialReasonRow {
    const char* name;
    fake_dc25::Script script;
    bool allocationFails;
    const char* reason;
};

void PrintTo(const SerialReasonRow& row, std::ostream* out)
{
    *out << row.name;
}

fake_dc25::Script Answering(int16_t fake_dc25::Script::*result, int16_t code)
{
    fake_dc25::Script script;
    script.*result = code;
    return script;
}

class SerialCameraReasonTest : public StationTest, public ::testing::WithParamInterface<SerialReasonRow> {};

TEST_P(SerialCameraReasonTest, NamesTheFailedCallAndItsMeaning)
{
    fake_dc25::Reset(GetParam().script);
    allocator.failing = GetParam().allocationFails;

    station.RunCaptureCycle();

    EXPECT_EQ(station.FailureReason(), GetParam().reason) << station.status;
}

INSTANTIATE_TEST_SUITE_P(
    Calls, SerialCameraReasonTest,
    ::testing::Values(
        SerialReasonRow{"None", {}, false, ""},
        SerialReasonRow{"OpenDriver", Answering(&fake_dc25::Script::openDriver, DC25_E_NO_SUCH_PORT), false,
                        "DC25_OpenDriver: the serial device does not exist (-1)"},
        SerialReasonRow{"OpenCamera", Answering(&fake_dc25::Script::openCamera, DC25_E_PORT_BUSY), false,
                        "DC25_OpenCamera: the port is in use by another program, or not permitted (-2)"},
        SerialReasonRow{"TakePicture", Answering(&fake_dc25::Script::takePicture, DC25_E_NO_ANSWER), false,
                        "DC25_TakePicture: the camera did not answer in time (-3)"},
        SerialReasonRow{"Allocation", {}, true, "no memory for a download buffer of 1000 bytes"},
        SerialReasonRow{"GetNativePicture", Answering(&fake_dc25::Script::getNativePicture, DC25_E_CHECKSUM), false,
                        "DC25_GetNativePicture: a block stayed corrupt after all retries (-5)"},
        SerialReasonRow{"PictureSize",
                        [] {
                            fake_dc25::Script script;
                            script.byteCount = 1001;
                            return script;
                        }(),
                        false, "the driver reported a picture of 1001 bytes in a buffer of 1000"},
        SerialReasonRow{"DeletePicture", Answering(&fake_dc25::Script::deletePicture, DC25_E_CAMERA_EMPTY), false,
                        "DC25_DeletePicture: the camera holds no picture (-9)"},
        SerialReasonRow{"CloseCamera", Answering(&fake_dc25::Script::closeCamera, DC25_E_PORT_LOST), false,
                        "DC25_CloseCamera: the port went away (-10)"},
        SerialReasonRow{"CloseDriverUnknownCode", Answering(&fake_dc25::Script::closeDriver, -77), false,
                        "DC25_CloseDriver: an unknown result (-77)"}),
    [](const ::testing::TestParamInfo<SerialReasonRow>& info) { return info.param.name; });

}  // namespace
}  // namespace tessel::testing
