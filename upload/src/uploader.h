// Draining the upload queues: for each target, oldest job first, over that target's transport.
// A failure of the target (connection, login, server) keeps the job in place and waits before the
// next attempt, doubling up to the target's longest wait. A file the server refuses (an HTTP 4xx
// about it, or kTriesBeforeHold refusals over FTP/SFTP) is held aside and tried again every
// retry_held seconds while the jobs behind it go on. A job is removed only after its file is in
// place on the remote side.
#pragma once

#include <ctime>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "transport.h"
#include "upload_spool.h"
#include "upload_status.h"
#include "upload_target.h"
#include "web_directory.h"

namespace tessel {

// The uploader's view of time, replaceable in tests.
struct UploaderClock {
    std::function<double()> seconds;         // a steady clock, in seconds
    std::function<void(double)> wait;        // waits that many seconds, or less when new jobs are queued
    std::function<std::time_t()> now;        // wall-clock time for the log, the status and held jobs
};
// The system's clocks; `wait` sleeps the whole time.
UploaderClock SystemClock();

// Refusals of one file by an FTP/SFTP server, in a row, before its job is held. Such a refusal
// (permission denied, rename refused) may pass, e.g. a lock left by a killed session, so a few
// attempts over the first waits (5 + 10 s by default) are made before the jobs behind it go first.
inline constexpr int kTriesBeforeHold = 3;

// Drain returns (and tessel-upload exits) when nothing is due within this many seconds: every
// queue is empty, or what is left is held or waits for a target that keeps failing. It is longer
// than the longest time between two converter runs, each of which starts the uploader again.
inline constexpr double kIdleExitSeconds = 120;

struct TargetConnection {
    UploadTarget target;
    std::unique_ptr<Transport> transport;  // null: the target is not used (its queue is kept), `setupError` says why
    std::string setupError;                // e.g. credentials refused
    std::vector<std::string> secrets;      // never written to the log or the status
};

class Uploader {
public:
    // `settingsWarnings`: the problems of the settings the targets were read from, for the status.
    Uploader(const WebDirectory& web, std::vector<TargetConnection> targets, UploaderClock clock,
             std::vector<std::string> settingsWarnings = {});

    // Sends what is due, waiting between attempts, until nothing is due within kIdleExitSeconds.
    void Drain();

    // True when some job is due within kIdleExitSeconds (e.g. one queued after Drain returned).
    bool HasDueJobs() const;

private:
    struct Target {
        TargetConnection connection;
        double retryAt = 0;          // steady seconds before which no attempt is made
        std::size_t queued = 0;      // jobs in the queue at the last look
        std::vector<HeldJob> held;   // oldest first
        std::map<std::string, int> fileRefusals;  // refusals in a row of a file, by path
    };
    enum class Attempt { Sent, Skipped, Held, TargetWaits };

    void SendQueued(Target& target);
    void RetryHeld(Target& target);
    // Tries to send `path`; `reason` tells why when the file is to be held.
    Attempt Try(Target& target, const std::string& path, bool alreadyHeld, std::string& reason);
    void Hold(Target& target, const TargetSpool& spool, const UploadJob& job, const std::string& reason);
    void ReleaseHeld(Target& target, const TargetSpool& spool, const std::string& path);
    // Steady seconds at which `target` has something due; infinity when nothing.
    double NextDue(const Target& target, std::size_t queued) const;
    void Succeeded(Target& target, const std::string& path, std::uint64_t bytes, double seconds);
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
