// The capture station's state and logic, without a window: the settings bound to the window's
// controls, the records handed to the camera driver library, one capture cycle with the
// station's camera, and the schedule that runs a cycle on every tick of the capture timer.
//
// The window owns one StationDialog, implements StationView and CaptureTimer for it, and routes
// the Start and Stop clicks and the timer ticks to OnStart, OnStop and OnTimer.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "buffer_allocator.h"
#include "camera.h"
#include "dc25v20.h"
#include "step_failure.h"

namespace tessel {

class CaptureTimer;
class Clock;
class ConverterLauncher;
class DataExchange;
class Sleeper;
class StationObserver;
class StationView;

class StationDialog : private FailureReport {
public:
    // Captures with the camera that `makeCamera` builds over this dialog's driver records.
    StationDialog(StationView& view, CaptureTimer& timer, const Clock& clock, Sleeper& sleeper,
                  ConverterLauncher& launcher, const CameraMaker& makeCamera);
    // Captures with the serial camera over this dialog's driver records, its download buffers
    // from `allocator`.
    StationDialog(StationView& view, CaptureTimer& timer, const Clock& clock, Sleeper& sleeper,
                  ConverterLauncher& launcher, BufferAllocator& allocator = HeapBufferAllocator());
    // The driver records point into each other: the object stays where it was built.
    StationDialog(const StationDialog&) = delete;
    StationDialog& operator=(const StationDialog&) = delete;
    ~StationDialog() = default;

    // Binds the members to the controls, in the window's exchange order.
    void DoDataExchange(DataExchange& dx);
    // true: read all controls into the members with validation (stops at the first invalid
    // field, which the view reports). false: write all members into the controls.
    // Returns whether the pass completed.
    bool UpdateData(bool saveAndValidate);
    // Sets the port, speed code and model code of CameraRecord from the settings.
    void ApplySettingsMapping();

    // One whole capture: read the settings, take and fetch a picture, store it, start the
    // converter, delete the picture from the camera; every step is reported in `status`.
    void RunCaptureCycle();
    // Why the last failed step of the last cycle failed (for the log and the health file); empty
    // when no step failed.
    const std::string& FailureReason() const { return failureReason_; }

    // Start button: the first cycle begins 500 ms later.
    void OnStart();
    // Timer tick. Runs one cycle for the capture timer and re-arms it; returns false for any
    // other timer id, which the window then hands to its default handling.
    bool OnTimer(uint32_t id);
    // Stop button: stops the timer, empties message.txt, gives the converter its final call.
    void OnStop();

    // `observer` (or nobody, for nullptr) hears of every finished cycle and of Stop from now on.
    void Observe(StationObserver* observer) { observer_ = observer; }

    // Driver records; the library keeps pointers between them.
    DC25DriverOpenInfo DriverOpenInfo{};
    DC25DriverRecord DriverRecord{};
    DC25CameraRecord CameraRecord{};
    DC25PictureInfo PictureInfo{};
    DC25PictureBuffer PictureBuffer{};
    uint32_t downloadWord = 0;

    // Stamp of the last downloaded picture (14 digits), "" before the first one.
    char lastStamp[40] = {};
    // Caption last written to message.txt.
    std::string lastMessage;
    // Status line, control IDC_STATUS.
    std::string status;

    // Settings, bound to the window's controls.
    int32_t portIndex = 1;        // IDC_PORT: 0 Auto, 1..4 COM1..COM4
    int32_t speedIndex = 5;       // IDC_SPEED: 115200
    int32_t cameraIndex = 0;      // IDC_CAMERA: DC20
    uint32_t refreshSeconds = 60; // IDC_REFRESH, valid 30..90
    int32_t archiveImages = 1;    // IDC_ARCHIVE, non-zero = on
    std::string message;          // IDC_MESSAGE, the caption

private:
    // Write all members to the window and repaint it at once.
    void Show();
    void Pause();
    // Capture steps from opening the camera to closing it, and those after a picture was taken.
    void RunWithCamera();
    void FetchAndStore();
    void DeleteFromCamera();
    void UpdateCaptionFile();
    void StampNow();
    void StoreImage(const CameraPicture& picture);
    // A failed step: its text goes on the status line, its reason is kept.
    void Failed(const StepFailure& failure) final;
    void ArmNextCycle(uint32_t startSeconds);
    // The converter's parameters for the last picture: "<stamp> ARCHIVE" or "<stamp> NOARCHIVE".
    std::string ConverterParameters() const;

    StationView& view_;
    CaptureTimer& timer_;
    const Clock& clock_;
    Sleeper& sleeper_;
    ConverterLauncher& launcher_;
    std::unique_ptr<Camera> camera_;
    std::string failureReason_;
    StationObserver* observer_ = nullptr;
};

}  // namespace tessel
