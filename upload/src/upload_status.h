// upload.json in the web directory: for each target the last success, the queue's length and the
// last error, rewritten (atomically) while the uploader runs.
#pragma once

#include <cstddef>
#include <ctime>
#include <map>
#include <string>

#include "web_directory.h"

namespace tessel {

struct TargetStatus {
    std::string url;
    std::time_t lastSuccess = 0;  // 0: never
    std::string lastSuccessPath;
    std::time_t lastFailure = 0;  // 0: never
    std::string lastError;        // empty once a transfer has succeeded after it
    int consecutiveFailures = 0;
    std::size_t queueLength = 0;
    std::time_t nextAttempt = 0;  // 0: as soon as there is a job
};

using UploadStatus = std::map<std::string, TargetStatus>;

// The status last written (targets it cannot read start empty).
UploadStatus ReadUploadStatus(const WebDirectory& web);

// Writes upload.json; a failure to write is returned as text, empty when written.
std::string WriteUploadStatus(const WebDirectory& web, const UploadStatus& status, std::time_t now);

}  // namespace tessel
