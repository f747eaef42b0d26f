// Draining the upload queues: for each target, oldest job first, over that target's transport;
// a failure keeps the job and waits before the next attempt (doubling up to the target's
// longest wait); a job is removed only after its file is in place on the remote side.
#pragma once

#include <ctime>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "transport.h"
#include "upload_status.h"
#include "upload_target.h"
#include "web_directory.h"

namespace tessel {

// The uploader's view of time, replaceable in tests.
struct UploaderClock {
    std::function<double()> seconds;         // a steady clock, in seconds
    std::function<void(double)> sleep;       // waits about that many seconds
    std::function<std::time_t()> now;        // wall-clock time for the log and status
};
UploaderClock SystemClock();

struct TargetConnection {
    UploadTarget target;
    std::unique_ptr<Transport> transport;  // null when `setupError` says why there is none
    std::string setupError;                // e.g. a credentials file refused; every attempt fails with it
    std::vector<std::string> secrets;      // never written to the log or the status
};

class Uploader {
public:
    Uploader(const WebDirectory& web, std::vector<TargetConnection> targets, UploaderClock clock);

    // Sends jobs until every configured target's queue is empty.
    void Drain();

    // True when some configured target still has jobs (e.g. queued after Drain returned).
    bool HasJobs() const;

private:
    struct Target {
        TargetConnection connection;
        double retryAt = 0;  // steady seconds before which no attempt is made
    };

    // Sends `target`'s queued jobs in order until one fails or the turn is over; returns true
    // when the queue had jobs and it was the target's turn.
    bool SendQueued(Target& target, bool& pending, double& wakeAt);
    // Reads the local file of `path`; false when it is gone or refused (`why` tells).
    bool ReadLocal(const std::string& path, std::string& bytes, std::string& why) const;
    void Succeeded(Target& target, const std::string& path, std::size_t bytes, double seconds);
    void Failed(Target& target, const std::string& path, const std::string& error);
    void Log(const Target& target, const std::string& text) const;
    void SaveStatus(bool always);

    WebDirectory web_;
    std::vector<Target> targets_;
    UploaderClock clock_;
    UploadStatus status_;
    double statusSavedAt_ = -1e9;
};

}  // namespace tessel
