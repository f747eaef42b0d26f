// upload.json in the web directory: the problems found in the upload settings and, for each
// target, the last success, the queue's length, the last error, the wait before the next attempt
// and the jobs held aside; rewritten (atomically) by the uploader while it runs, and by a program
// that finds the settings' problems changed while no uploader runs.
#pragma once

#include <cstddef>
#include <ctime>
#include <map>
#include <string>
#include <vector>

#include "web_directory.h"

namespace tessel {

struct HeldJobStatus {
    std::string path;
    std::string reason;           // why the server refused the file
    std::time_t heldAt = 0;
    std::time_t nextAttempt = 0;
};

struct TargetStatus {
    std::string url;
    std::time_t lastSuccess = 0;  // 0: never
    std::string lastSuccessPath;
    std::time_t lastFailure = 0;  // 0: never
    std::string lastError;        // empty once a transfer has succeeded after it
    int consecutiveFailures = 0;
    std::size_t queueLength = 0;
    std::time_t nextAttempt = 0;  // 0: as soon as there is a job
    std::vector<HeldJobStatus> held;  // oldest first
};

struct UploadStatus {
    std::map<std::string, TargetStatus> targets;
    std::vector<std::string> settingsWarnings;
};

// The status last written (what cannot be read starts empty).
UploadStatus ReadUploadStatus(const WebDirectory& web);

// Writes upload.json; a failure to write is returned as text, empty when written.
std::string WriteUploadStatus(const WebDirectory& web, const UploadStatus& status, std::time_t now);

}  // namespace tessel
