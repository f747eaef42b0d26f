// The station's health file station.json in the web directory: whether a series runs, the last
// cycle's time and status line, the last successful picture's time and how many cycles in a row
// failed. The window and the headless service both keep it through HealthFile.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "station_observer.h"

namespace tessel {

class Clock;
class WebDirectory;

inline constexpr const char* kHealthFileName = "station.json";

// A cycle succeeded when it got to the end without a failed step.
bool CycleSucceeded(const std::string& status);

// "2026-12-10T08:30:05+01:00": `epoch` in the station's local time with its UTC offset.
std::string IsoLocalTime(const Clock& clock, int64_t epoch);

struct StationHealth {
    bool running = false;
    std::optional<int64_t> lastCycleEpoch;
    std::string lastStatus;
    std::optional<int64_t> lastSuccessEpoch;
    int consecutiveFailures = 0;

    // Counts a finished cycle.
    void RecordCycle(int64_t startEpoch, const std::string& status);
};

// The JSON text of station.json, stamped as updated at `updatedEpoch`.
std::string StationHealthJson(const StationHealth& health, const Clock& clock, int64_t updatedEpoch);

class HealthFile final : public StationObserver {
public:
    // How the file describes the station after a cycle: part of a running series, or a single
    // cycle after which nothing runs.
    enum class AfterCycle { Running, Stopped };

    // Writes into `directory`, which must outlive this object. The last cycle, the last success and
    // the failures in a row carry on from a station.json already there (a restart, --once runs).
    HealthFile(const WebDirectory& directory, const Clock& clock, AfterCycle afterCycle = AfterCycle::Running);

    void CycleFinished(int64_t startEpoch, const std::string& status) override;
    void Stopped(const std::string& status) override;
    // The program ends without Stop (the window's Exit): the file must not claim a running series.
    void ProgramEnding();

    const StationHealth& Health() const { return health_; }

private:
    void Resume();
    // Replaces station.json atomically; a failure is logged on standard error, the station goes on.
    void Write() const;

    const WebDirectory& directory_;
    const Clock& clock_;
    AfterCycle afterCycle_;
    StationHealth health_;
};

}  // namespace tessel
