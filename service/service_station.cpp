#include "service_station.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <optional>

#include "bytes_read.h"
#include "file_error.h"
#include "serial_camera.h"
#include "service_log.h"
#include "station_lock.h"
#include "systemd_notify.h"
#include "web_directory.h"

namespace tessel::service {
namespace {

// The longest wait for the converter's last call before the program ends anyway, and the steps
// it is waited for in, with a heartbeat after each.
constexpr std::chrono::seconds kConverterWaitLimit{30};
constexpr std::chrono::seconds kConverterWaitStep{1};

std::string WebDirectoryAdvice()
{
    return " (exit status " + std::to_string(kExitWebDirectoryUnusable) +
           ": starting again cannot help until the web directory is usable)";
}

}  // namespace

int RunService(const ServiceOptions& given, ServiceLog& log)
{
    // Absolute: the program changes into the web directory, and a reload must find the same file.
    ServiceOptions options = given;
    options.configFile = std::filesystem::absolute(given.configFile);
    const SettingsResult loaded = LoadServiceSettings(options.configFile);
    if (!loaded.settings) {
        log.Error(loaded.error);
        return kExitUsage;
    }
    const ServiceSettings& settings = *loaded.settings;
    std::optional<WebDirectory> directory;
    std::optional<StationLock> lock;
    try {
        directory.emplace(WebDirectory::Open(settings.webdir, DirectoryLinks::Follow));
        lock.emplace(StationLock::Acquire(*directory));
    } catch (const StationBusy& busy) {
        log.Error(std::string(busy.what()) + "; each station needs a web directory of its own (exit status " +
                  std::to_string(kExitWebDirectoryTaken) + ": starting again cannot help while that station runs)");
        return kExitWebDirectoryTaken;
    } catch (const FileError& error) {
        log.Error(options.configFile.string() + ": webdir: " + error.what() + WebDirectoryAdvice());
        return kExitWebDirectoryUnusable;
    }
    // The station writes its pictures and caption, and starts the converter, in the current directory.
    if (fchdir(directory->descriptor()) != 0) {
        log.Error("cannot enter the web directory " + settings.webdir.string() + ": " + std::strerror(errno) +
                  WebDirectoryAdvice());
        return kExitWebDirectoryUnusable;
    }
    ServiceStation station(options, settings, *directory, log);
    return options.once ? station.RunOnce() : station.RunSeries();
}

ServiceStation::ServiceStation(const ServiceOptions& options, const ServiceSettings& settings,
                               const WebDirectory& directory, ServiceLog& log)
    : log_(log),
      configFile_(options.configFile),
      settings_(settings),
      loop_(TestTimeScaleFromEnvironment()),
      view_(settings, log, [](const std::string& status) { NotifyStatus(status); }),
      station_(view_, loop_, clock_, sleeper_, launcher_, SerialCameraMaker()),
      health_(directory, clock_, options.once ? HealthFile::AfterCycle::Stopped : HealthFile::AfterCycle::Running)
{
    com1_.Use(settings.device);
    station_.Observe(this);
}

int ServiceStation::RunSeries()
{
    if (const auto timeout = WatchdogTimeout()) {
        keeper_ = std::make_unique<WatchdogKeeper>(*timeout, NotifyWatchdog, BytesReadByOtherThreads);
        loop_.EnableHeartbeat(keeper_->Period());
    }
    NotifyStatus("Started; the first picture follows in half a second");
    NotifyReady();
    log_.Info("WebCam started in " + settings_.webdir.string() + ", a picture every " +
              std::to_string(settings_.refreshSeconds) + " s");
    station_.OnStart();
    loop_.Run(*this);
    NotifyStopping();
    station_.OnStop();
    WaitForConverters();
    return kExitSuccess;
}

int ServiceStation::RunOnce()
{
    station_.OnTimer(kCaptureTimerId);
    WaitForConverters();
    return lastCycleSucceeded_ ? kExitSuccess : kExitFailure;
}

void ServiceStation::OnCaptureTimer()
{
    station_.OnTimer(kCaptureTimerId);
}

void ServiceStation::OnReload()
{
    const SettingsResult loaded = LoadServiceSettings(configFile_);
    if (!loaded.settings) {
        log_.Error(loaded.error + " (the settings in use stay)");
        return;
    }
    ServiceSettings settings = *loaded.settings;
    if (settings.webdir != settings_.webdir) {
        log_.Warning("webdir: a new web directory takes effect at the next start; staying in " +
                     settings_.webdir.string());
        settings.webdir = settings_.webdir;
    }
    settings_ = settings;
    view_.Use(settings_);
    com1_.Use(settings_.device);
    log_.Info("reread " + configFile_.string() + "; the next picture uses it");
}

void ServiceStation::OnPictureNow()
{
    log_.Info("picture requested");
    station_.OnTimer(kCaptureTimerId);
}

void ServiceStation::OnHeartbeat()
{
    if (keeper_) {
        keeper_->Beat();
    }
}

void ServiceStation::CycleFinished(int64_t startEpoch, const std::string& status)
{
    lastCycleSucceeded_ = CycleSucceeded(status);
    if (lastCycleSucceeded_) {
        log_.Info(status);
    } else {
        log_.Warning(status);
    }
    NotifyStatus(status);
    health_.CycleFinished(startEpoch, status);
}

void ServiceStation::Stopped(const std::string& status)
{
    log_.Info(status);
    NotifyStatus(status);
    health_.Stopped(status);
}

void ServiceStation::WaitForConverters()
{
    const auto deadline = std::chrono::steady_clock::now() + kConverterWaitLimit;
    while (!launcher_.WaitForAll(kConverterWaitStep)) {
        if (std::chrono::steady_clock::now() >= deadline) {
            log_.Warning("the converter is still running; leaving it to finish alone");
            return;
        }
        OnHeartbeat();
    }
}

}  // namespace tessel::service
