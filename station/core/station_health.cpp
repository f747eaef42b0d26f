#include "station_health.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <nlohmann/json.hpp>

#include "clock.h"
#include "file_error.h"
#include "web_directory.h"

namespace tessel {
namespace {

nlohmann::json EpochOrNull(const std::optional<int64_t>& epoch)
{
    return epoch ? nlohmann::json(*epoch) : nlohmann::json(nullptr);
}

std::optional<int64_t> OptionalEpoch(const nlohmann::json& value)
{
    return value.is_number_integer() ? std::optional<int64_t>(value.get<int64_t>()) : std::nullopt;
}

// station.json is a few hundred bytes; anything much larger is not one of ours.
constexpr std::size_t kLargestHealthFile = 64 * 1024;

nlohmann::json IsoOrNull(const Clock& clock, const std::optional<int64_t>& epoch)
{
    return epoch ? nlohmann::json(IsoLocalTime(clock, *epoch)) : nlohmann::json(nullptr);
}

}  // namespace

bool CycleSucceeded(const std::string& status)
{
    // The last steps of a cycle that stored its picture: deleting it from a camera that keeps its
    // pictures, or writing it when the camera keeps none.
    return status.find("Failed") == std::string::npos &&
           (status.ends_with("Deleting Picture Finished Processing") ||
            status.ends_with("Creating Web Image Finished Processing"));
}

std::string IsoLocalTime(const Clock& clock, int64_t epoch)
{
    const std::tm local = clock.LocalTime(epoch);
    // UTC offsets lie within a day; the bound keeps a broken clock's value printable.
    const int offsetMinutes = static_cast<int>(std::clamp<long>(local.tm_gmtoff / 60, -1439, 1439));
    const int absolute = std::abs(offsetMinutes);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", local.tm_year + 1900,
                  local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec,
                  offsetMinutes < 0 ? '-' : '+', absolute / 60, absolute % 60);
    return text;
}

void StationHealth::RecordCycle(int64_t startEpoch, const std::string& status)
{
    lastCycleEpoch = startEpoch;
    lastStatus = status;
    if (CycleSucceeded(status)) {
        lastSuccessEpoch = startEpoch;
        consecutiveFailures = 0;
    } else {
        ++consecutiveFailures;
    }
}

std::string StationHealthJson(const StationHealth& health, const Clock& clock, int64_t updatedEpoch)
{
    const nlohmann::json document = {
        {"state", health.running ? "running" : "stopped"},
        {"last_cycle_epoch", EpochOrNull(health.lastCycleEpoch)},
        {"last_cycle_at", IsoOrNull(clock, health.lastCycleEpoch)},
        {"last_status", health.lastStatus},
        {"last_success_epoch", EpochOrNull(health.lastSuccessEpoch)},
        {"last_success_at", IsoOrNull(clock, health.lastSuccessEpoch)},
        {"consecutive_failures", health.consecutiveFailures},
        {"updated_epoch", updatedEpoch},
    };
    // Invalid UTF-8 in a status line (a caption cannot reach it, but be safe) is replaced, not thrown.
    return document.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n";
}

HealthFile::HealthFile(const WebDirectory& directory, const Clock& clock, AfterCycle afterCycle)
    : directory_(directory), clock_(clock), afterCycle_(afterCycle)
{
    Resume();
}

void HealthFile::Resume()
{
    const FileRead read = directory_.Read(kHealthFileName, kLargestHealthFile);
    if (!read.ok) {
        return;
    }
    // A damaged or foreign file is not an error: the counts start afresh and the next write mends it.
    const nlohmann::json document = nlohmann::json::parse(read.bytes, nullptr, false);
    if (!document.is_object()) {
        return;
    }
    health_.lastCycleEpoch = OptionalEpoch(document.value("last_cycle_epoch", nlohmann::json()));
    health_.lastSuccessEpoch = OptionalEpoch(document.value("last_success_epoch", nlohmann::json()));
    const nlohmann::json status = document.value("last_status", nlohmann::json());
    health_.lastStatus = status.is_string() ? status.get<std::string>() : "";
    const nlohmann::json failures = document.value("consecutive_failures", nlohmann::json());
    health_.consecutiveFailures =
        failures.is_number_unsigned() && failures.get<uint64_t>() < 1000000000u ? failures.get<int>() : 0;
}

void HealthFile::CycleFinished(int64_t startEpoch, const std::string& status)
{
    health_.running = afterCycle_ == AfterCycle::Running;
    health_.RecordCycle(startEpoch, status);
    Write();
}

void HealthFile::Stopped(const std::string& /*status*/)
{
    // last_status keeps the last cycle's line: the state already says that the series stopped.
    health_.running = false;
    Write();
}

void HealthFile::ProgramEnding()
{
    if (health_.running) {
        health_.running = false;
        Write();
    }
}

void HealthFile::Write() const
{
    try {
        directory_.ReplaceAtomically(kHealthFileName, StationHealthJson(health_, clock_, clock_.Now()));
    } catch (const FileError& error) {
        std::fprintf(stderr, "tessel: cannot write %s: %s\n", kHealthFileName, error.what());
    }
}

}  // namespace tessel
