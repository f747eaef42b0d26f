// Start, the capture timer's ticks, and Stop.
#include <algorithm>
#include <cstdio>
#include <exception>

#include "caption_file.h"
#include "capture_timer.h"
#include "clock.h"
#include "converter_launcher.h"
#include "station_dialog.h"
#include "station_observer.h"

namespace tessel {
namespace {

constexpr uint32_t kFirstCycleDelayMilliseconds = 500;
constexpr uint32_t kShortestWaitMilliseconds = 1000;

}  // namespace

void StationDialog::OnStart()
{
    timer_.Arm(kCaptureTimerId, kFirstCycleDelayMilliseconds);
}

bool StationDialog::OnTimer(uint32_t id)
{
    if (id != kCaptureTimerId) {
        return false;
    }
    const auto start = static_cast<uint32_t>(clock_.Now());
    timer_.Kill(kCaptureTimerId);
    try {
        RunCaptureCycle();
    } catch (const std::exception& error) {
        // The cycle has closed what it opened; the series goes on with the next tick.
        std::fprintf(stderr, "tessel: capture cycle ended early: %s\n", error.what());
    }
    if (observer_ != nullptr) {
        observer_->CycleFinished(start, status);
    }
    ArmNextCycle(start);
    return true;
}

void StationDialog::ArmNextCycle(uint32_t startSeconds)
{
    // Whole seconds held in 32 bits: a clock that went back gives a huge elapsed time.
    const auto end = static_cast<uint32_t>(clock_.Now());
    const uint32_t elapsed = end - startSeconds;
    uint32_t wait = kShortestWaitMilliseconds;
    if (elapsed < refreshSeconds) {
        const uint64_t rest = uint64_t{refreshSeconds - elapsed} * 1000;
        wait = static_cast<uint32_t>(std::min<uint64_t>(rest, kMaxTimerMilliseconds));
    }
    timer_.Arm(kCaptureTimerId, wait);
}

void StationDialog::OnStop()
{
    timer_.Kill(kCaptureTimerId);
    UpdateData(true);
    if (!lastMessage.empty()) {
        lastMessage.clear();
        WriteCaptionFile(lastMessage);
    }
    if (lastStamp[0] != '\0') {
        launcher_.Start(ConverterParameters() + " off");
    }
    status = "WebCam stopped";
    UpdateData(false);
    if (observer_ != nullptr) {
        observer_->Stopped(status);
    }
}

}  // namespace tessel
