// The durable upload queue in the web directory: one folder per target under upload-spool/, one
// empty job file per file to send, named after it, and flushed to disk so that it survives a
// killed process or a power loss. Jobs are taken oldest first; a job is removed only once its file is
// in place on the remote side.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "upload_target.h"
#include "web_directory.h"

namespace tessel {

inline constexpr std::string_view kUploadSpoolName = "upload-spool";
inline constexpr std::string_view kUploadLogName = "upload.log";
inline constexpr std::string_view kUploadStatusName = "upload.json";
inline constexpr std::string_view kUploadLockName = "upload.lock";
inline constexpr std::string_view kSettingsName = "pictrex.ini";

// True for a path that may be published: relative to the web directory, '/'-separated, made of
// letters, digits, '.', '-' and '_' only, no empty, "." or ".." parts, no hidden names, at most
// 200 characters.
bool IsPublicPath(std::string_view path);

// True for files whose newer content replaces the older (webcam.jpg, webcam.json, pages, lists):
// when the queue is over its bound their jobs may be dropped. Files named after their picture's
// stamp (archive pictures, thumbnails, day files) are never dropped.
bool IsReplaceable(std::string_view path);

struct UploadJob {
    std::string file;  // the job file's name in the target's spool folder; sorts oldest first
    std::string path;  // the public path to send
};

// One target's queue.
class TargetSpool {
public:
    // Opens (creating it when `create`) upload-spool/<target> in the web directory. Throws FileError.
    TargetSpool(const WebDirectory& web, const std::string& target, bool create);

    // The queued jobs, oldest first. Job files that name no public path are removed and reported
    // in `refused`.
    std::vector<UploadJob> Jobs(std::vector<std::string>& refused) const;

    // Queues `path` (a public path) and returns the job; it is on disk once Flush has returned.
    // Throws FileError.
    UploadJob Add(std::string_view path) const;
    // Flushes the names of the jobs added so far to disk (one flush for a run's jobs). Throws FileError.
    void Flush() const;

    // Removes a job; a job already gone is fine.
    void Remove(const UploadJob& job) const;

private:
    WebDirectory directory_;
};

// The targets configured in the web directory's pictrex.ini (none when it is missing).
UploadTargets LoadUploadTargets(const WebDirectory& web);

// Appends "<local time> <text>" to upload.log; failures to log are ignored.
void AppendUploadLog(const WebDirectory& web, std::time_t when, std::string_view text);

struct EnqueueOutcome {
    int queued = 0;
    std::vector<std::string> notes;  // refused paths, dropped jobs: also written to upload.log
};

// Queues `publicPaths` for every target. An earlier job for the same path is replaced by the new
// one (only the newest content matters, and the uploader reads the file when it sends it). When a
// target's queue then holds more than its limit, its oldest replaceable jobs are dropped.
EnqueueOutcome EnqueueJobs(const WebDirectory& web, const std::vector<UploadTarget>& targets,
                           const std::vector<std::string>& publicPaths, std::time_t now);

// Queues the files (paths relative to the web directory) for every configured target and starts
// tessel-upload detached unless one is running. Does nothing when no target is configured; never
// waits for the network and never throws (problems go to upload.log).
void EnqueueUploads(const std::filesystem::path& webDirectory, const std::vector<std::string>& publicPaths);

}  // namespace tessel
