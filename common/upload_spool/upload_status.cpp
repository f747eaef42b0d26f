#include "upload_status.h"

#include <algorithm>

#include <nlohmann/json.hpp>

#include "upload_file_names.h"

namespace tessel {
namespace {

constexpr std::size_t kLongestStatus = 4 << 20;
constexpr std::size_t kHeldJobsShown = 100;  // per target; held_count tells how many there are

nlohmann::json EpochOrNull(std::time_t when) { return when == 0 ? nlohmann::json(nullptr) : nlohmann::json(when); }

std::time_t EpochOf(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number_integer() ? found->get<std::time_t>() : 0;
}

std::string TextOf(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

nlohmann::json HeldJobs(const std::vector<HeldJobStatus>& held) {
    nlohmann::json list = nlohmann::json::array();
    for (std::size_t i = 0; i < std::min(held.size(), kHeldJobsShown); ++i) {
        list.push_back({{"path", held[i].path},
                        {"reason", held[i].reason},
                        {"held_epoch", EpochOrNull(held[i].heldAt)},
                        {"next_attempt_epoch", EpochOrNull(held[i].nextAttempt)}});
    }
    return list;
}

}  // namespace

UploadStatus ReadUploadStatus(const WebDirectory& web) {
    UploadStatus status;
    const FileRead read = web.Read(kUploadStatusName, kLongestStatus);
    if (!read.ok) return status;
    const auto json = nlohmann::json::parse(read.bytes, nullptr, false);
    if (!json.is_object()) return status;
    if (const auto warnings = json.find("settings_warnings"); warnings != json.end() && warnings->is_array()) {
        for (const auto& warning : *warnings) {
            if (warning.is_string()) status.settingsWarnings.push_back(warning.get<std::string>());
        }
    }
    if (!json.contains("targets") || !json["targets"].is_object()) return status;
    for (const auto& [name, target] : json["targets"].items()) {
        if (!target.is_object()) continue;
        TargetStatus& s = status.targets[name];
        s.lastSuccess = EpochOf(target, "last_success_epoch");
        s.lastSuccessPath = TextOf(target, "last_success_path");
        s.lastFailure = EpochOf(target, "last_failure_epoch");
        s.lastError = TextOf(target, "last_error");
        s.nextAttempt = EpochOf(target, "next_attempt_epoch");
        const auto failures = target.find("consecutive_failures");
        if (failures != target.end() && failures->is_number_integer()) {
            s.consecutiveFailures = std::clamp(failures->get<int>(), 0, 1000);
        }
    }
    return status;
}

std::string WriteUploadStatus(const WebDirectory& web, const UploadStatus& status, std::time_t now) {
    nlohmann::json targets = nlohmann::json::object();
    for (const auto& [name, s] : status.targets) {
        targets[name] = {
            {"url", s.url},
            {"queue_length", s.queueLength},
            {"last_success_epoch", EpochOrNull(s.lastSuccess)},
            {"last_success_path", s.lastSuccessPath},
            {"last_failure_epoch", EpochOrNull(s.lastFailure)},
            {"last_error", s.lastError.empty() ? nlohmann::json(nullptr) : nlohmann::json(s.lastError)},
            {"consecutive_failures", s.consecutiveFailures},
            {"next_attempt_epoch", EpochOrNull(s.nextAttempt)},
            {"held_count", s.held.size()},
            {"held", HeldJobs(s.held)},
        };
    }
    const nlohmann::json document = {
        {"settings_warnings", status.settingsWarnings}, {"targets", targets}, {"updated_epoch", now}};
    try {
        web.ReplaceAtomically(kUploadStatusName,
                              document.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    } catch (const FileError& e) {
        return e.what();
    }
    return {};
}

}  // namespace tessel
