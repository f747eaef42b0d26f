// One capture: open driver and camera, take a picture, download it, store it, start the
// converter, delete the picture, close camera and driver. Every step is reported in `status`;
// a failing step skips to the clean-up that the steps already done require.
#include <cstdio>
#include <memory>
#include <utility>

#include "caption_file.h"
#include "clock.h"
#include "converter_launcher.h"
#include "image_file.h"
#include "sleeper.h"
#include "station_dialog.h"

namespace tessel {
namespace {

constexpr uint32_t kPauseMilliseconds = 100;

// An open driver or camera. The normal path closes it with Close() and reports the result;
// if an exception leaves the cycle first, the destructor closes it.
template <typename Record, int16_t (*CloseFunction)(Record*)>
class OpenSession {
public:
    explicit OpenSession(Record& record) : record_(&record) {}
    OpenSession(const OpenSession&) = delete;
    OpenSession& operator=(const OpenSession&) = delete;
    ~OpenSession()
    {
        if (record_ != nullptr) {
            CloseFunction(record_);
        }
    }
    int16_t Close() { return CloseFunction(std::exchange(record_, nullptr)); }

private:
    Record* record_;
};

using DriverSession = OpenSession<DC25DriverRecord, DC25_CloseDriver>;
using CameraSession = OpenSession<DC25CameraRecord, DC25_CloseCamera>;

}  // namespace

void StationDialog::Pause()
{
    sleeper_.Sleep(kPauseMilliseconds);
}

void StationDialog::RunCaptureCycle()
{
    UpdateData(true);
    ApplySettingsMapping();
    status = "Say \"Cheese!\"";
    Show();
    if (DC25_OpenDriver(&DriverOpenInfo, &DriverRecord) != DC25_OK) {
        status = "OpenDriver Failed";
    } else {
        RunWithOpenDriver();
    }
    status += " Finished Processing";
    UpdateData(false);
}

void StationDialog::RunWithOpenDriver()
{
    DriverSession driver(DriverRecord);
    if (DC25_OpenCamera(&CameraRecord) != DC25_OK) {
        status += " OpenCamera Failed";
    } else {
        RunWithOpenCamera();
    }
    if (driver.Close() != DC25_OK) {
        status += " CloseDriver Failed";
    }
}

void StationDialog::RunWithOpenCamera()
{
    CameraSession camera(CameraRecord);
    Pause();
    if (DC25_TakePicture(&CameraRecord, 0, 0, &PictureInfo, 0) != DC25_OK) {
        status += " TakePicture Failed";
    } else {
        Pause();
        status += " Acquiring Picture";
        Show();
        DownloadAndStore();
        Pause();
        status += " Deleting Picture";
        Show();
        if (DC25_DeletePicture(&CameraRecord, 0, -1) != DC25_OK) {
            status += " DeletePicture Failed";
        }
    }
    if (camera.Close() != DC25_OK) {
        status += " CloseCamera Failed";
    }
}

void StationDialog::DownloadAndStore()
{
    // The buffer lives until this function returns, before the picture is deleted.
    const uint32_t bufferSize = PictureInfo.bufferSize;
    const std::unique_ptr<uint8_t[]> buffer = allocator_.Allocate(bufferSize);
    if (!buffer) {
        status += " Image malloc Failed";
        return;
    }
    PictureBuffer.data = buffer.get();
    PictureBuffer.size = bufferSize;
    PictureBuffer.zero = 0;
    downloadWord = 0;
    const int16_t result = DC25_GetNativePicture(&CameraRecord, 0, &PictureInfo, &PictureBuffer, &downloadWord);
    if (result != DC25_OK) {
        status += " GetNativePicture Failed (" + std::to_string(result) + ")";
        return;
    }
    // The picture is the buffer's tail; a count beyond the buffer cannot be stored.
    if (PictureInfo.byteCount > bufferSize) {
        status += " Picture Size Failed";
        return;
    }
    UpdateCaptionFile();
    StampNow();
    StoreImage(buffer.get(), bufferSize);
}

void StationDialog::UpdateCaptionFile()
{
    if (message == lastMessage) {
        return;
    }
    lastMessage = message;
    if (WriteCaptionFile(message) == CaptionWrite::RefusedLink) {
        status += std::string(" Caption Refused (") + kCaptionFileName + " is a symbolic link)";
    }
}

void StationDialog::StampNow()
{
    const std::tm local = clock_.LocalTime(clock_.Now());
    std::snprintf(lastStamp, sizeof lastStamp, "%4.4d%2.2d%2.2d%2.2d%2.2d%2.2d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
}

void StationDialog::StoreImage(const uint8_t* buffer, uint32_t bufferSize)
{
    const std::string name = std::string("image") + lastStamp + ".dc2";
    ImageFile image(name);
    if (!image.IsOpen()) {
        status += " FileOpen Failed";
        if (image.RefusedLink()) {
            status += " (" + name + " is a symbolic link)";
        }
        return;
    }
    Pause();
    status += " Creating Web Image";
    Show();
    const uint32_t byteCount = PictureInfo.byteCount;
    if (!image.WriteAndClose(buffer + (bufferSize - byteCount), byteCount)) {
        // A truncated picture must not reach the converter.
        status += " FileWrite Failed";
        return;
    }
    launcher_.Start(ConverterParameters());
}

}  // namespace tessel
