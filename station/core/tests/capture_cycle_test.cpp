// One capture cycle against the scripted driver: status texts, library calls, pauses, files,
// converter start, and what the cycle remembers.
#include <csignal>
#include <filesystem>
#include <ostream>
#include <new>
#include <optional>
#include <vector>

#include <sys/resource.h>

#include "control_ids.h"
#include "station_fixture.h"

namespace tessel::testing {
namespace {

namespace fs = std::filesystem;
using fake_dc25::Function;

constexpr const char* kSuccess =
    "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture Finished Processing";

// Checks the arguments of every recorded library call: the records' addresses, the constant
// arguments, and the records as they stood at call time.
void ExpectCallArguments(const StationDialog& station, int32_t port, int32_t speed, int32_t model)
{
    for (const fake_dc25::Call& call : fake_dc25::Calls()) {
        SCOPED_TRACE(fake_dc25::Name(call.function));
        switch (call.function) {
        case Function::OpenDriver:
            EXPECT_EQ(call.openInfo, &station.DriverOpenInfo);
            EXPECT_EQ(call.driver, &station.DriverRecord);
            EXPECT_EQ(call.openInfoValue.version, 0x0200);
            break;
        case Function::CloseDriver:
            EXPECT_EQ(call.driver, &station.DriverRecord);
            break;
        default:
            EXPECT_EQ(call.camera, &station.CameraRecord);
            EXPECT_EQ(call.cameraValue.driver, &station.DriverRecord);
            EXPECT_EQ(call.cameraValue.openArea, &station.DriverOpenInfo.area[0]);
            EXPECT_EQ(call.cameraValue.one, 1u);
            EXPECT_EQ(call.cameraValue.port, port);
            EXPECT_EQ(call.cameraValue.speed, speed);
            EXPECT_EQ(call.cameraValue.model, model);
            break;
        }
        if (call.function == Function::TakePicture) {
            EXPECT_EQ(call.picture, &station.PictureInfo);
            EXPECT_EQ(call.numbers, (std::vector<int32_t>{0, 0, 0}));
        }
        if (call.function == Function::GetNativePicture) {
            EXPECT_EQ(call.picture, &station.PictureInfo);
            EXPECT_EQ(call.buffer, &station.PictureBuffer);
            EXPECT_EQ(call.downloadWord, &station.downloadWord);
            EXPECT_EQ(call.numbers, std::vector<int32_t>{0});
            EXPECT_NE(call.bufferValue.data, nullptr);
            EXPECT_EQ(call.bufferValue.size, fake_dc25::CurrentScript().bufferSize);
            EXPECT_EQ(call.bufferValue.zero, 0u);
            EXPECT_EQ(call.downloadWordValue, 0u);
        }
        if (call.function == Function::DeletePicture) {
            EXPECT_EQ(call.numbers, (std::vector<int32_t>{0, -1}));
        }
    }
}

// Something in the web directory that makes a file step fail.
enum class Obstacle { None, ImageIsDirectory, DiskRefusesImage, ImageIsLink, CaptionIsDirectory, CaptionIsLink };

// A file the links planted in the web directory point to; it must stay as it is.
constexpr const char* kLinkedFile = "elsewhere/precious.txt";
constexpr const char* kLinkedContents = "precious contents";

// While it lives, writes beyond a few bytes fail (EFBIG), as on a full disk.
class FileSizeLimit {
public:
    FileSizeLimit()
    {
        ::getrlimit(RLIMIT_FSIZE, &previous_);
        previousHandler_ = std::signal(SIGXFSZ, SIG_IGN);
        const rlimit tight{100, previous_.rlim_max};
        ::setrlimit(RLIMIT_FSIZE, &tight);
    }
    ~FileSizeLimit()
    {
        ::setrlimit(RLIMIT_FSIZE, &previous_);
        std::signal(SIGXFSZ, previousHandler_);
    }
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit previous_{};
    void (*previousHandler_)(int) = nullptr;
};

struct FailureRow {
    const char* name;
    fake_dc25::Script script;
    bool allocationFails;
    Obstacle obstacle;
    const char* status;
    std::vector<Function> calls;
    std::size_t pauses;
    bool imageStored;
    bool stamped;         // lastStamp holds the new stamp
    bool captionHandled;  // lastMessage holds the caption
};

void PrintTo(const FailureRow& row, std::ostream* out)
{
    *out << row.name;
}

fake_dc25::Script ScriptWith(int16_t fake_dc25::Script::*result, int16_t code)
{
    fake_dc25::Script script;
    script.*result = code;
    return script;
}

fake_dc25::Script OversizedPicture()
{
    fake_dc25::Script script;
    script.byteCount = 1001;
    script.bufferSize = 1000;
    return script;
}

const std::vector<Function> kOpenDriverOnly{Function::OpenDriver};
const std::vector<Function> kNoCamera{Function::OpenDriver, Function::OpenCamera, Function::CloseDriver};
const std::vector<Function> kNoPicture{Function::OpenDriver, Function::OpenCamera, Function::TakePicture,
                                       Function::CloseCamera, Function::CloseDriver};
const std::vector<Function> kNoDownload{Function::OpenDriver,    Function::OpenCamera,  Function::TakePicture,
                                        Function::DeletePicture, Function::CloseCamera, Function::CloseDriver};
const std::vector<Function> kAll{Function::OpenDriver,       Function::OpenCamera,    Function::TakePicture,
                                 Function::GetNativePicture, Function::DeletePicture, Function::CloseCamera,
                                 Function::CloseDriver};

class CaptureFailureTest : public StationTest, public ::testing::WithParamInterface<FailureRow> {};

TEST_P(CaptureFailureTest, ReportsAndCleansUp)
{
    const FailureRow& row = GetParam();
    fake_dc25::Reset(row.script);
    allocator.failing = row.allocationFails;
    fs::create_directory("elsewhere");
    WriteFile(kLinkedFile, kLinkedContents);
    std::optional<FileSizeLimit> limit;
    if (row.obstacle == Obstacle::ImageIsDirectory) {
        fs::create_directory(ImageFileName());
    } else if (row.obstacle == Obstacle::DiskRefusesImage) {
        limit.emplace();
    } else if (row.obstacle == Obstacle::ImageIsLink) {
        fs::create_symlink(fs::absolute(kLinkedFile), ImageFileName());
    } else if (row.obstacle == Obstacle::CaptionIsDirectory) {
        fs::create_directory("message.txt");
    } else if (row.obstacle == Obstacle::CaptionIsLink) {
        fs::create_symlink(fs::absolute(kLinkedFile), "message.txt");
    }
    view.combos[IDC_PORT] = 3;
    view.combos[IDC_SPEED] = 2;
    view.combos[IDC_CAMERA] = 1;
    view.texts[IDC_MESSAGE] = "Hello";
    station.downloadWord = 77;

    station.RunCaptureCycle();
    limit.reset();

    EXPECT_EQ(station.status, row.status);
    EXPECT_EQ(ReadFile(kLinkedFile), kLinkedContents) << "written through a planted link";
    EXPECT_EQ(view.texts[IDC_STATUS], row.status);
    EXPECT_EQ(fake_dc25::CalledFunctions(), row.calls);
    ExpectCallArguments(station, 3, 192, 103);
    EXPECT_EQ(fake_dc25::OpenDrivers(), 0);
    EXPECT_EQ(fake_dc25::OpenCameras(), 0);
    EXPECT_EQ(sleeper.pauses, std::vector<uint32_t>(row.pauses, 100));

    if (row.obstacle == Obstacle::ImageIsLink) {
        EXPECT_TRUE(fs::is_symlink(ImageFileName())) << "a planted link is refused and left alone";
    } else {
        const std::optional<std::string> image = ReadFile(ImageFileName());
        EXPECT_EQ(image.has_value(), row.imageStored);
    }
    if (row.obstacle == Obstacle::DiskRefusesImage) {
        EXPECT_FALSE(fs::exists(fs::symlink_status(ImageFileName())));
    }
    if (row.imageStored) {
        EXPECT_EQ(launcher.starts, std::vector<std::string>{std::string(kDefaultStamp) + " ARCHIVE"});
    } else {
        EXPECT_TRUE(launcher.starts.empty());
    }
    EXPECT_STREQ(station.lastStamp, row.stamped ? kDefaultStamp : "");
    EXPECT_EQ(station.lastMessage, row.captionHandled ? "Hello" : "");
    if (row.obstacle != Obstacle::CaptionIsDirectory && row.obstacle != Obstacle::CaptionIsLink) {
        EXPECT_EQ(ReadFile("message.txt"), row.captionHandled ? std::optional<std::string>("Hello") : std::nullopt);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Failures, CaptureFailureTest,
    ::testing::Values(
        FailureRow{"OpenDriver", ScriptWith(&fake_dc25::Script::openDriver, -1), false, Obstacle::None,
                   "OpenDriver Failed Finished Processing", kOpenDriverOnly, 0, false, false, false},
        FailureRow{"OpenCamera", ScriptWith(&fake_dc25::Script::openCamera, -2), false, Obstacle::None,
                   "Say \"Cheese!\" OpenCamera Failed Finished Processing", kNoCamera, 0, false, false, false},
        FailureRow{"OpenCameraAndCloseDriver",
                   [] {
                       fake_dc25::Script script = ScriptWith(&fake_dc25::Script::openCamera, -3);
                       script.closeDriver = -8;
                       return script;
                   }(),
                   false, Obstacle::None,
                   "Say \"Cheese!\" OpenCamera Failed CloseDriver Failed Finished Processing", kNoCamera, 0,
                   false, false, false},
        FailureRow{"TakePicture", ScriptWith(&fake_dc25::Script::takePicture, -4), false, Obstacle::None,
                   "Say \"Cheese!\" TakePicture Failed Finished Processing", kNoPicture, 1, false, false, false},
        FailureRow{"Allocation", fake_dc25::Script{}, true, Obstacle::None,
                   "Say \"Cheese!\" Acquiring Picture Image malloc Failed Deleting Picture Finished Processing",
                   kNoDownload, 3, false, false, false},
        FailureRow{"GetNativePicture", ScriptWith(&fake_dc25::Script::getNativePicture, -3), false, Obstacle::None,
                   "Say \"Cheese!\" Acquiring Picture GetNativePicture Failed (-3) Deleting Picture Finished "
                   "Processing",
                   kAll, 3, false, false, false},
        FailureRow{"GetNativePictureLargeCode", ScriptWith(&fake_dc25::Script::getNativePicture, -32768), false,
                   Obstacle::None,
                   "Say \"Cheese!\" Acquiring Picture GetNativePicture Failed (-32768) Deleting Picture Finished "
                   "Processing",
                   kAll, 3, false, false, false},
        FailureRow{"PictureSize", OversizedPicture(), false, Obstacle::None,
                   "Say \"Cheese!\" Acquiring Picture Picture Size Failed Deleting Picture Finished Processing",
                   kAll, 3, false, false, false},
        FailureRow{"FileOpen", fake_dc25::Script{}, false, Obstacle::ImageIsDirectory,
                   "Say \"Cheese!\" Acquiring Picture FileOpen Failed Deleting Picture Finished Processing", kAll, 3,
                   false, true, true},
        FailureRow{"FileOpenLink", fake_dc25::Script{}, false, Obstacle::ImageIsLink,
                   "Say \"Cheese!\" Acquiring Picture FileOpen Failed (image19991015083005.dc2 is a symbolic link) "
                   "Deleting Picture Finished Processing",
                   kAll, 3, false, true, true},
        FailureRow{"FileWrite", fake_dc25::Script{}, false, Obstacle::DiskRefusesImage,
                   "Say \"Cheese!\" Acquiring Picture Creating Web Image FileWrite Failed Deleting Picture "
                   "Finished Processing",
                   kAll, 4, false, true, true},
        FailureRow{"CaptionFile", fake_dc25::Script{}, false, Obstacle::CaptionIsDirectory, kSuccess, kAll, 4, true,
                   true, true},
        FailureRow{"CaptionLink", fake_dc25::Script{}, false, Obstacle::CaptionIsLink,
                   "Say \"Cheese!\" Acquiring Picture Caption Refused (message.txt is a symbolic link) Creating Web "
                   "Image Deleting Picture Finished Processing",
                   kAll, 4, true, true, true},
        FailureRow{"DeletePicture", ScriptWith(&fake_dc25::Script::deletePicture, -4), false, Obstacle::None,
                   "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture DeletePicture Failed "
                   "Finished Processing",
                   kAll, 4, true, true, true},
        FailureRow{"CloseCamera", ScriptWith(&fake_dc25::Script::closeCamera, -10), false, Obstacle::None,
                   "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture CloseCamera Failed "
                   "Finished Processing",
                   kAll, 4, true, true, true},
        FailureRow{"CloseDriver", ScriptWith(&fake_dc25::Script::closeDriver, -8), false, Obstacle::None,
                   "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture CloseDriver Failed "
                   "Finished Processing",
                   kAll, 4, true, true, true},
        FailureRow{"None", fake_dc25::Script{}, false, Obstacle::None, kSuccess, kAll, 4, true, true, true}),
    [](const ::testing::TestParamInfo<FailureRow>& info) { return info.param.name; });

TEST_F(StationTest, SuccessfulCycleShowsEachStepWhileRunning)
{
    station.RunCaptureCycle();

    EXPECT_EQ(view.repaints, (std::vector<std::string>{
                                 "Say \"Cheese!\"",
                                 "Say \"Cheese!\" Acquiring Picture",
                                 "Say \"Cheese!\" Acquiring Picture Creating Web Image",
                                 "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture",
                             }));
    EXPECT_EQ(view.texts[IDC_STATUS], kSuccess);
    EXPECT_EQ(allocator.requests, std::vector<uint32_t>{1000});
}

struct TailRow {
    uint32_t bufferSize;
    uint32_t byteCount;
};

void PrintTo(const TailRow& row, std::ostream* out)
{
    *out << row.byteCount << " of " << row.bufferSize;
}

class ImageTailTest : public StationTest, public ::testing::WithParamInterface<TailRow> {};

TEST_P(ImageTailTest, ImageFileHoldsTheBuffersLastBytes)
{
    fake_dc25::CurrentScript().bufferSize = GetParam().bufferSize;
    fake_dc25::CurrentScript().byteCount = GetParam().byteCount;

    station.RunCaptureCycle();

    std::string expected;
    for (uint32_t i = GetParam().bufferSize - GetParam().byteCount; i < GetParam().bufferSize; ++i) {
        expected.push_back(static_cast<char>(fake_dc25::PatternByte(i)));
    }
    EXPECT_EQ(ReadFile(ImageFileName()), expected);
    EXPECT_EQ(station.status, kSuccess);
}

INSTANTIATE_TEST_SUITE_P(Sizes, ImageTailTest,
                         ::testing::Values(TailRow{1000, 600}, TailRow{1000, 1000}, TailRow{1000, 0}, TailRow{0, 0},
                                           TailRow{124928, 124928}));

struct ArchiveRow {
    int32_t check;
    const char* parameters;
};

void PrintTo(const ArchiveRow& row, std::ostream* out)
{
    *out << row.parameters;
}

class ConverterParametersTest : public StationTest, public ::testing::WithParamInterface<ArchiveRow> {};

TEST_P(ConverterParametersTest, NamesStampAndArchiveChoice)
{
    view.checks[IDC_ARCHIVE] = GetParam().check;
    station.RunCaptureCycle();
    EXPECT_EQ(launcher.starts, std::vector<std::string>{GetParam().parameters});
}

INSTANTIATE_TEST_SUITE_P(ArchiveBox, ConverterParametersTest,
                         ::testing::Values(ArchiveRow{1, "19991015083005 ARCHIVE"},
                                           ArchiveRow{0, "19991015083005 NOARCHIVE"},
                                           ArchiveRow{2, "19991015083005 ARCHIVE"}));

TEST_F(StationTest, StampIsZeroPaddedLocalTime)
{
    clock.now = 981173106;  // 2001-02-03 04:05:06
    station.RunCaptureCycle();
    EXPECT_STREQ(station.lastStamp, "20010203040506");
    EXPECT_TRUE(fs::exists("image20010203040506.dc2"));
    EXPECT_EQ(launcher.starts, std::vector<std::string>{"20010203040506 ARCHIVE"});
}

TEST_F(StationTest, SecondPictureWithinTheSameSecondReplacesTheFirst)
{
    station.RunCaptureCycle();
    fake_dc25::CurrentScript().byteCount = 10;
    station.RunCaptureCycle();
    EXPECT_EQ(ReadFile(ImageFileName())->size(), 10u);
    EXPECT_EQ(launcher.starts.size(), 2u);
}

TEST_F(StationTest, EmptyCaptionNeverCreatesCaptionFile)
{
    station.RunCaptureCycle();
    station.RunCaptureCycle();
    EXPECT_FALSE(fs::exists("message.txt"));
    EXPECT_EQ(station.status, kSuccess);
}

TEST_F(StationTest, CaptionFileFollowsChangedCaption)
{
    view.texts[IDC_MESSAGE] = "Good morning";
    station.RunCaptureCycle();
    EXPECT_EQ(ReadFile("message.txt"), "Good morning");

    view.texts[IDC_MESSAGE] = "Rain \xe2\x98\x82";
    station.RunCaptureCycle();
    EXPECT_EQ(ReadFile("message.txt"), "Rain \xe2\x98\x82");

    view.texts[IDC_MESSAGE] = "";
    station.RunCaptureCycle();
    EXPECT_EQ(ReadFile("message.txt"), "");
    EXPECT_EQ(station.lastMessage, "");
}

TEST_F(StationTest, UnchangedCaptionLeavesFileAloneEvenIfDeleted)
{
    view.texts[IDC_MESSAGE] = "Hello";
    station.RunCaptureCycle();
    fs::remove("message.txt");
    station.RunCaptureCycle();
    EXPECT_FALSE(fs::exists("message.txt"));

    WriteFile("message.txt", "edited by hand");
    station.RunCaptureCycle();
    EXPECT_EQ(ReadFile("message.txt"), "edited by hand");
}

TEST_F(StationTest, CaptionNotWrittenWhenDownloadFails)
{
    view.texts[IDC_MESSAGE] = "Hello";
    fake_dc25::CurrentScript().getNativePicture = -5;
    station.RunCaptureCycle();
    EXPECT_FALSE(fs::exists("message.txt"));

    fake_dc25::CurrentScript().getNativePicture = DC25_OK;
    station.RunCaptureCycle();
    EXPECT_EQ(ReadFile("message.txt"), "Hello");
}

TEST_F(StationTest, FailedRefreshReadStillRunsTheCycle)
{
    view.texts[IDC_REFRESH] = "abc";
    station.RunCaptureCycle();
    EXPECT_EQ(view.invalid.size(), 1u);
    EXPECT_EQ(station.status, kSuccess);
    // The write at the end puts the stored number back into the box.
    EXPECT_EQ(view.texts[IDC_REFRESH], "60");
}

// A view whose immediate repaint throws once, at the given repaint of the cycle (1: "Say
// "Cheese!"", 2: after the picture is taken, 3: before the image is written, 4: before the
// picture is deleted), as a status update that runs out of memory would.
class ThrowingShowTest : public StationTest, public ::testing::WithParamInterface<std::size_t> {};

TEST_P(ThrowingShowTest, CycleClosesEverythingAndScheduleRearms)
{
    view.onRepaint = [this] {
        if (view.repaints.size() == GetParam()) {
            throw std::bad_alloc();
        }
    };
    ::testing::internal::CaptureStderr();
    EXPECT_TRUE(station.OnTimer(kCaptureTimerId));
    const std::string log = ::testing::internal::GetCapturedStderr();

    EXPECT_NE(log.find("capture cycle ended early"), std::string::npos);
    EXPECT_EQ(fake_dc25::OpenDrivers(), 0);
    EXPECT_EQ(fake_dc25::OpenCameras(), 0);
    const auto calls = fake_dc25::CalledFunctions();
    if (GetParam() > 1) {
        ASSERT_GE(calls.size(), 2u);
        EXPECT_EQ(calls[calls.size() - 2], Function::CloseCamera);
        EXPECT_EQ(calls.back(), Function::CloseDriver);
    } else {
        EXPECT_TRUE(calls.empty());
    }
    EXPECT_EQ(timer.pending, 60000u);
    // Only the last show comes after the picture was stored and the converter started; an
    // interrupted store leaves no file behind.
    EXPECT_EQ(launcher.starts.size(), GetParam() == 4 ? 1u : 0u);
    EXPECT_EQ(fs::exists(ImageFileName()), GetParam() == 4);

    // The next tick captures normally.
    view.onRepaint = nullptr;
    EXPECT_TRUE(station.OnTimer(kCaptureTimerId));
    EXPECT_EQ(station.status, kSuccess);
}

INSTANTIATE_TEST_SUITE_P(AtEachShow, ThrowingShowTest, ::testing::Values(1u, 2u, 3u, 4u));

}  // namespace
}  // namespace tessel::testing
