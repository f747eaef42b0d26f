// The service's event loop and its capture timer: one poll over a timerfd for the capture timer,
// a signalfd for SIGTERM, SIGINT, SIGHUP and SIGUSR1, and a timerfd for the loop's heartbeat.
// A capture cycle runs inside a handler, so signals that arrive meanwhile wait in the signalfd
// and are handled once the cycle is over: a cycle is never cut short.
#pragma once

#include <chrono>
#include <cstdint>

#include "capture_timer.h"
#include "file_descriptor.h"

namespace tessel::service {

// What the loop reports; every call runs on the loop's thread.
class ServiceEvents {
public:
    virtual ~ServiceEvents() = default;
    virtual void OnCaptureTimer() = 0;
    virtual void OnReload() = 0;       // SIGHUP
    virtual void OnPictureNow() = 0;   // SIGUSR1
    virtual void OnHeartbeat() = 0;    // the heartbeat interval passed
};

class ServiceLoop final : public CaptureTimer {
public:
    // Blocks the loop's signals in the calling thread; call first in main, before any thread
    // starts, so they reach only the signalfd.
    static void BlockSignals();

    // `timeScale` (0 < scale <= 1) shortens every capture timer wait; 1 in normal use.
    explicit ServiceLoop(double timeScale = 1.0);

    // Only the capture timer exists; other ids are ignored.
    void Arm(uint32_t id, uint32_t milliseconds) override;
    void Kill(uint32_t id) override;

    // Calls OnHeartbeat every `interval` from now on.
    void EnableHeartbeat(std::chrono::microseconds interval);

    // Dispatches events to `events` until SIGTERM or SIGINT arrives, then returns that signal.
    int Run(ServiceEvents& events);

private:
    // Handles what the signalfd holds; returns the stop signal when one came, else 0.
    int HandleSignals(ServiceEvents& events);

    double timeScale_;
    FileDescriptor captureTimer_;
    FileDescriptor heartbeatTimer_;
    FileDescriptor signals_;
};

// The test-only time scale from TESSELD_TEST_TIME_SCALE (a number above 0 and at most 1); 1 when
// unset or anything else.
double TestTimeScaleFromEnvironment();

}  // namespace tessel::service
