// One capture: open the camera, take a picture, fetch it, store it, start the converter, delete
// the picture from the camera, close the camera. Every step is reported in `status`; a failing
// step skips to the clean-up that the steps already done require.
#include <cstdio>
#include <utility>

#include "caption_file.h"
#include "clock.h"
#include "converter_launcher.h"
#include "image_file.h"
#include "sleeper.h"
#include "station_dialog.h"
#include "status_texts.h"

namespace tessel {
namespace {

constexpr uint32_t kPauseMilliseconds = 100;

// Failures of a clean-up that nobody is left to hear of.
class IgnoredFailures final : public FailureReport {
public:
    void Failed(const StepFailure& /*failure*/) override {}
};

// The camera between Open and Close. The normal path closes it with Close() and reports what
// failed; if an exception leaves the cycle first, the destructor closes what is still open.
class CameraSession {
public:
    explicit CameraSession(Camera& camera) : camera_(&camera) {}
    CameraSession(const CameraSession&) = delete;
    CameraSession& operator=(const CameraSession&) = delete;
    ~CameraSession()
    {
        if (camera_ != nullptr) {
            IgnoredFailures ignored;
            camera_->Close(ignored);
        }
    }
    void Close(FailureReport& report)
    {
        camera_->Close(report);
        camera_ = nullptr;
    }

private:
    Camera* camera_;
};

}  // namespace

void StationDialog::Pause()
{
    sleeper_.Sleep(kPauseMilliseconds);
}

void StationDialog::Failed(const StepFailure& failure)
{
    if (failure.replacesStatus) {
        status = failure.status;
    } else {
        status += failure.status;
    }
    failureReason_ = failure.reason;
}

void StationDialog::RunCaptureCycle()
{
    UpdateData(true);
    ApplySettingsMapping();
    failureReason_.clear();
    status = kSayCheese;
    Show();
    RunWithCamera();
    status += kFinishedProcessing;
    UpdateData(false);
}

void StationDialog::RunWithCamera()
{
    CameraSession session(*camera_);
    if (camera_->Open(*this)) {
        Pause();
        if (camera_->Take(*this)) {
            Pause();
            status += kAcquiringPicture;
            Show();
            FetchAndStore();
            DeleteFromCamera();
        }
    }
    session.Close(*this);
}

void StationDialog::FetchAndStore()
{
    // The picture, and with it a download buffer, lives until this function returns, before the
    // picture is deleted from the camera.
    const std::optional<CameraPicture> picture = camera_->Fetch(*this);
    if (!picture) {
        return;
    }
    UpdateCaptionFile();
    StampNow();
    StoreImage(*picture);
}

void StationDialog::DeleteFromCamera()
{
    if (!camera_->KeepsPictures()) {
        return;
    }
    Pause();
    status += kDeletingPicture;
    Show();
    camera_->DeletePicture(*this);
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

void StationDialog::StoreImage(const CameraPicture& picture)
{
    const std::string name = std::string("image") + lastStamp + "." + picture.kind;
    ImageFile image(name);
    if (!image.IsOpen()) {
        std::string text = kFileOpenFailed;
        if (image.RefusedLink()) {
            text += " (" + name + " is a symbolic link)";
        }
        Failed({text, image.Error()});
        return;
    }
    Pause();
    status += kCreatingWebImage;
    Show();
    if (!image.WriteAndClose(picture.bytes.data(), picture.bytes.size())) {
        // A truncated picture must not reach the converter.
        Failed({kFileWriteFailed, image.Error()});
        return;
    }
    launcher_.Start(ConverterParameters());
}

}  // namespace tessel
