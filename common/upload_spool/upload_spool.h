// The durable upload queue in the web directory: one folder per target under upload-spool/, one
// empty job file per file to send, named after it, and flushed to disk so that it survives a
// killed process or a power loss. Jobs are taken oldest first; a job is removed only once its file is
// in place on the remote side, or moved aside into the target's held/ folder when the server
// refuses that file.
#pragma once

#include <ctime>
#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "upload_file_names.h"
#include "upload_status.h"
#include "upload_target.h"
#include "web_directory.h"

namespace tessel {

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

// A job moved aside after the server refused its file; retried on a slow schedule.
struct HeldJob {
    UploadJob job;
    std::string reason;       // why the file was refused
    std::time_t heldAt = 0;   // when it was held or last tried
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
    // For a file whose newer content replaces the older, the job queued for it before is removed:
    // a link in .newest/ names it, so queueing costs the same however long the queue is.
    // Throws FileError.
    UploadJob Add(std::string_view path) const;
    // Flushes the names of the jobs added so far to disk (one flush for a run's jobs). Throws FileError.
    void Flush() const;

    // Removes a job; a job already gone is fine.
    void Remove(const UploadJob& job) const;

    // While `jobs` (oldest first) holds more than `limit`, drops its oldest replaceable jobs from
    // the queue and from `jobs`; returns the paths dropped.
    std::vector<std::string> Trim(std::vector<UploadJob>& jobs, std::size_t limit) const;

    // The held jobs, oldest first.
    std::vector<HeldJob> Held() const;
    // Moves `job` aside into held/ with `reason` and the time `when` (of holding, or of a new
    // attempt of a held job). Throws FileError.
    void Hold(const UploadJob& job, std::string_view reason, std::time_t when) const;
    // Removes a held job (its file was sent, or a newer job for its path was).
    void Release(const UploadJob& job) const;

private:
    WebDirectory directory_;
};

// The targets configured in the web directory's pictrex.ini (none when it is missing); the
// warnings name the file by its path.
UploadTargets LoadUploadTargets(const WebDirectory& web);

// Appends "<local time> <text>" to upload.log; failures to log are ignored.
void AppendUploadLog(const WebDirectory& web, std::time_t when, std::string_view text);

// Appends the settings' problems to upload.log when they differ from those `recorded` lists (so
// each reaches the log once, not on every run); returns true when they differ.
bool LogChangedSettingsWarnings(const WebDirectory& web, const UploadStatus& recorded,
                                const std::vector<std::string>& warnings, std::time_t now);

struct EnqueueOutcome {
    int queued = 0;
    std::vector<std::string> notes;  // refused paths, queues that could not be written: also in upload.log
};

// Queues `publicPaths` for every target, with the site files that are new to it or changed. An
// earlier job for a replaceable path is replaced by the new one (only the newest content matters,
// and the uploader reads the file when it sends it).
EnqueueOutcome EnqueueJobs(const WebDirectory& web, const std::vector<UploadTarget>& targets,
                           const std::vector<std::string>& publicPaths, std::time_t now);

// Reads the upload settings, queues the files (paths relative to the web directory) for every
// configured target and starts tessel-upload detached unless one is running. The settings'
// problems go to upload.log and upload.json and are returned, for the caller's own log and
// standard error. Never waits for the network and never throws (problems go to upload.log).
std::vector<std::string> EnqueueUploads(const std::filesystem::path& webDirectory,
                                        const std::vector<std::string>& publicPaths);

}  // namespace tessel
