// The headless station: the station core driven by the service's event loop, with the settings
// file as its view, the health file and the log as its observers, and systemd told of its state.
#pragma once

#include <memory>

#include "com1_device.h"
#include "process_converter_launcher.h"
#include "service_loop.h"
#include "service_options.h"
#include "service_settings.h"
#include "service_view.h"
#include "station_dialog.h"
#include "station_health.h"
#include "station_observer.h"
#include "system_clock.h"
#include "thread_sleeper.h"
#include "watchdog_keeper.h"

namespace tessel {
class WebDirectory;
}

namespace tessel::service {

class ServiceLog;

// Exit statuses of tesseld. Those from 2 on say that starting again cannot help until someone
// changes the settings or the web directory: the units do not restart the service for them.
inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;
inline constexpr int kExitWebDirectoryTaken = 3;     // another station works in the web directory
inline constexpr int kExitWebDirectoryUnusable = 4;  // it cannot be opened, locked or entered

// Loads the settings, takes the web directory's lock, makes it the current directory and runs
// the station as `options` say. Returns the exit status.
int RunService(const ServiceOptions& given, ServiceLog& log);

class ServiceStation final : public ServiceEvents, public StationObserver {
public:
    // `directory` is the settings' web directory, already the current directory.
    ServiceStation(const ServiceOptions& options, const ServiceSettings& settings, const WebDirectory& directory,
                   ServiceLog& log);

    // The series: first picture 500 ms after the start, then one every refresh interval, until
    // SIGTERM or SIGINT; then Stop. Returns the exit status.
    int RunSeries();
    // One cycle; exit status 0 when it fully succeeded, 1 otherwise.
    int RunOnce();

    // ServiceEvents
    void OnCaptureTimer() override;
    void OnReload() override;
    void OnPictureNow() override;
    void OnHeartbeat() override;

    // StationObserver
    void CycleFinished(int64_t startEpoch, const std::string& status) override;
    void Stopped(const std::string& status) override;

private:
    // Waits a bounded time for the converters still running, so the last picture is published;
    // a converter still running within that bound keeps the heartbeat going.
    void WaitForConverters();

    ServiceLog& log_;
    std::filesystem::path configFile_;
    ServiceSettings settings_;
    Com1Device com1_;
    SystemClock clock_;
    ThreadSleeper sleeper_;
    ProcessConverterLauncher launcher_;
    ServiceLoop loop_;
    ServiceView view_;
    StationDialog station_;
    HealthFile health_;
    bool lastCycleSucceeded_ = false;
    // Feeds systemd's watchdog while the series runs under one.
    std::unique_ptr<WatchdogKeeper> keeper_;
};

}  // namespace tessel::service
