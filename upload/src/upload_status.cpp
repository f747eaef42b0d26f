#include "upload_status.h"

#include <nlohmann/json.hpp>

#include "upload_spool.h"

namespace tessel {
namespace {

constexpr std::size_t kLongestStatus = 4 << 20;

nlohmann::json EpochOrNull(std::time_t when) { return when == 0 ? nlohmann::json(nullptr) : nlohmann::json(when); }

std::time_t EpochOf(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_number_integer() ? found->get<std::time_t>() : 0;
}

std::string TextOf(const nlohmann::json& object, const char* key) {
    const auto found = object.find(key);
    return found != object.end() && found->is_string() ? found->get<std::string>() : std::string();
}

}  // namespace

UploadStatus ReadUploadStatus(const WebDirectory& web) {
    UploadStatus status;
    const FileRead read = web.Read(kUploadStatusName, kLongestStatus);
    if (!read.ok) return status;
    const auto json = nlohmann::json::parse(read.bytes, nullptr, false);
    if (!json.is_object() || !json.contains("targets") || !json["targets"].is_object()) return status;
    for (const auto& [name, target] : json["targets"].items()) {
        if (!target.is_object()) continue;
        TargetStatus& s = status[name];
        s.lastSuccess = EpochOf(target, "last_success_epoch");
        s.lastSuccessPath = TextOf(target, "last_success_path");
        s.lastFailure = EpochOf(target, "last_failure_epoch");
        s.lastError = TextOf(target, "last_error");
    }
    return status;
}

std::string WriteUploadStatus(const WebDirectory& web, const UploadStatus& status, std::time_t now) {
    nlohmann::json targets = nlohmann::json::object();
    for (const auto& [name, s] : status) {
        targets[name] = {
            {"url", s.url},
            {"queue_length", s.queueLength},
            {"last_success_epoch", EpochOrNull(s.lastSuccess)},
            {"last_success_path", s.lastSuccessPath},
            {"last_failure_epoch", EpochOrNull(s.lastFailure)},
            {"last_error", s.lastError.empty() ? nlohmann::json(nullptr) : nlohmann::json(s.lastError)},
            {"consecutive_failures", s.consecutiveFailures},
            {"next_attempt_epoch", EpochOrNull(s.nextAttempt)},
        };
    }
    const nlohmann::json document = {{"targets", targets}, {"updated_epoch", now}};
    try {
        web.ReplaceAtomically(kUploadStatusName,
                              document.dump(1, ' ', false, nlohmann::json::error_handler_t::replace) + "\n");
    } catch (const FileError& e) {
        return e.what();
    }
    return {};
}

}  // namespace tessel
