#include "upload_spool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <array>
#include <optional>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "uploader_launch.h"

namespace tessel {
namespace {

constexpr std::size_t kLongestSettings = 1 << 20;
constexpr std::size_t kLongestHeldReason = 2000;
constexpr std::string_view kJobSuffix = ".job";

// The visitors' page and its companions, which tessel-webdir puts in place once and the owner may
// edit: sent to a target when they are new to it or changed since they were last queued for it.
constexpr std::array<std::string_view, 5> kSiteFiles = {"index.html", "favicon.svg", "site.json", "img_icon.gif",
                                                       "archive/gallery.html"};

bool ChangedAfter(const struct timespec& changed, const struct timespec& mark) {
    return changed.tv_sec != mark.tv_sec ? changed.tv_sec > mark.tv_sec : changed.tv_nsec > mark.tv_nsec;
}

// The marker in upload-spool/ whose modification time says when the site files were last queued
// for `target` (hidden, so that no target's folder can have its name).
std::string SiteMarkerName(const std::string& target) { return ".site-files." + target; }

// The site files that exist and changed after they were last queued for `target`.
std::vector<std::string> ChangedSiteFiles(const WebDirectory& web, const WebDirectory& spool, const std::string& target) {
    struct stat mark {};
    const bool marked =
        ::fstatat(spool.descriptor(), SiteMarkerName(target).c_str(), &mark, AT_SYMLINK_NOFOLLOW) == 0 && S_ISREG(mark.st_mode);
    std::vector<std::string> changed;
    for (std::string_view file : kSiteFiles) {
        struct stat status {};
        if (::fstatat(web.descriptor(), std::string(file).c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0) continue;
        if (S_ISREG(status.st_mode) && (!marked || ChangedAfter(status.st_mtim, mark.st_mtim))) changed.emplace_back(file);
    }
    return changed;
}

bool IsNameCharacter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '.' || c == '-' || c == '_';
}

std::string_view FileName(std::string_view path) { return path.substr(path.rfind('/') + 1); }

// A job is an empty file whose name says everything: a part that sorts after every earlier job of
// this and other processes (the time in nanoseconds, the process and a counter), then '+' and the
// public path with its '/' written as '+', then ".job". Creating it needs no data written, and one
// flush of the folder makes a whole run's jobs durable.
constexpr char kPathMark = '+';
constexpr std::size_t kLongestPath = 200;  // keeps a job's name within the 255 bytes a file name may have

// A public path as a single file name: its '/' written as '+'.
std::string Encoded(std::string_view path) {
    std::string encoded(path);
    std::replace(encoded.begin(), encoded.end(), '/', kPathMark);
    return encoded;
}

std::string NewJobName(std::string_view path) {
    static std::atomic<unsigned> counter{0};
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch()).count();
    char name[80];
    std::snprintf(name, sizeof name, "%020lld-%07d-%05u", static_cast<long long>(nanoseconds),
                  static_cast<int>(getpid()), counter++ % 100000);
    return std::string(name) + kPathMark + Encoded(path) + std::string(kJobSuffix);
}

// The public path a job's name carries, or "" when the name carries none.
std::string PathOfJob(std::string_view name) {
    const auto mark = name.find(kPathMark);
    if (mark == std::string_view::npos) return {};
    std::string path(name.substr(mark + 1, name.size() - kJobSuffix.size() - mark - 1));
    std::replace(path.begin(), path.end(), kPathMark, '/');
    return IsPublicPath(path) ? path : std::string();
}

bool IsJobName(std::string_view name) {
    return name.size() > kJobSuffix.size() && name.substr(name.size() - kJobSuffix.size()) == kJobSuffix &&
           name[0] != '.';
}

std::string LocalTimeText(std::time_t when) {
    std::tm local{};
    localtime_r(&when, &local);
    char text[40];
    std::strftime(text, sizeof text, "%Y-%m-%dT%H:%M:%S%z", &local);
    std::string iso = text;
    if (iso.size() > 2) iso.insert(iso.size() - 2, ":");  // +0100 -> +01:00
    return iso;
}

}  // namespace

bool IsPublicPath(std::string_view path) {
    if (path.empty() || path.size() > kLongestPath) return false;
    std::size_t start = 0;
    while (start <= path.size()) {
        const auto end = std::min(path.find('/', start), path.size());
        const std::string_view part = path.substr(start, end - start);
        if (part.empty() || part[0] == '.') return false;
        if (!std::all_of(part.begin(), part.end(), IsNameCharacter)) return false;
        start = end + 1;
    }
    return true;
}

bool IsReplaceable(std::string_view path) {
    const std::string_view name = FileName(path);
    const auto digits = std::find_if(name.begin(), name.end(), [](char c) { return c < '0' || c > '9'; }) - name.begin();
    return digits < 8;
}

TargetSpool::TargetSpool(const WebDirectory& web, const std::string& target, bool create)
    : directory_(web.Subdirectory(kUploadSpoolName, DirectoryLinks::Refuse, create)
                     .Subdirectory(target, DirectoryLinks::Refuse, create)) {}

std::vector<UploadJob> TargetSpool::Jobs(std::vector<std::string>& refused) const {
    std::vector<std::string> names = directory_.Names();
    names.erase(std::remove_if(names.begin(), names.end(), [](const std::string& n) { return !IsJobName(n); }),
                names.end());
    std::sort(names.begin(), names.end());
    std::vector<UploadJob> jobs;
    jobs.reserve(names.size());
    for (auto& name : names) {
        std::string path = PathOfJob(name);
        if (path.empty()) {
            refused.push_back("job " + name + " refused: it names no public path");
            try {
                directory_.RemoveRegularFile(name);
            } catch (const FileError&) {
                // Not a regular file: it stays, and is refused again next time.
            }
            continue;
        }
        jobs.push_back({std::move(name), std::move(path)});
    }
    return jobs;
}

UploadJob TargetSpool::Add(std::string_view path) const {
    UploadJob job{NewJobName(path), std::string(path)};
    directory_.OpenForWriting(job.file, WriteMode::CreateNew, 0644);
    if (!IsReplaceable(path)) return job;
    // The link .newest/<path> names the newest job of a replaceable path: it is pointed at the new
    // job (atomically, by renaming a fresh link over it) and the job it named before is removed.
    // Not flushed: a link lost in a crash only leaves a superseded job, which the uploader serves
    // together with the newer one.
    const WebDirectory newest = directory_.Subdirectory(kNewestJobFolderName, DirectoryLinks::Refuse, true);
    const std::string entry = Encoded(path);
    char previous[256];
    const ssize_t length = ::readlinkat(newest.descriptor(), entry.c_str(), previous, sizeof previous);
    const std::string temporary = "." + job.file;
    if (::symlinkat(job.file.c_str(), newest.descriptor(), temporary.c_str()) != 0 ||
        ::renameat(newest.descriptor(), temporary.c_str(), newest.descriptor(), entry.c_str()) != 0) {
        ::unlinkat(newest.descriptor(), temporary.c_str(), 0);
        throw FileError((newest.path() / entry).string() + ": cannot link the newest job");
    }
    if (length > 0 && static_cast<std::size_t>(length) < sizeof previous) {
        const std::string earlier(previous, static_cast<std::size_t>(length));
        if (IsJobName(earlier) && PathOfJob(earlier) == path && earlier != job.file) Remove({earlier, job.path});
    }
    return job;
}

void TargetSpool::Flush() const {
    // The jobs are empty files: flushing the folder makes their names, and so the jobs, durable.
    if (::fsync(directory_.descriptor()) != 0) throw FileError(directory_.path().string() + ": cannot flush the queue");
}

void TargetSpool::Remove(const UploadJob& job) const {
    try {
        directory_.RemoveRegularFile(job.file);
    } catch (const FileError&) {
        // Something else under that name: not a job of ours any more.
    }
}

std::vector<std::string> TargetSpool::Trim(std::vector<UploadJob>& jobs, std::size_t limit) const {
    std::vector<std::string> dropped;
    for (auto job = jobs.begin(); jobs.size() > limit && job != jobs.end();) {
        if (!IsReplaceable(job->path)) {
            ++job;
            continue;
        }
        Remove(*job);
        dropped.push_back(job->path);
        job = jobs.erase(job);
    }
    return dropped;
}

std::vector<HeldJob> TargetSpool::Held() const {
    std::vector<HeldJob> held;
    std::optional<WebDirectory> folder;
    try {
        folder = directory_.Subdirectory(kHeldFolderName, DirectoryLinks::Refuse);
    } catch (const FileError&) {
        return held;  // none held yet
    }
    std::vector<std::string> names = folder->Names();
    std::sort(names.begin(), names.end());
    for (auto& name : names) {
        std::string path = IsJobName(name) ? PathOfJob(name) : std::string();
        struct stat status {};
        if (path.empty() || ::fstatat(folder->descriptor(), name.c_str(), &status, AT_SYMLINK_NOFOLLOW) != 0 ||
            !S_ISREG(status.st_mode)) {
            continue;
        }
        const FileRead reason = folder->Read(name, kLongestHeldReason);
        held.push_back({{std::move(name), std::move(path)}, reason.ok ? reason.bytes : std::string(), status.st_mtim.tv_sec});
    }
    return held;
}

void TargetSpool::Hold(const UploadJob& job, std::string_view reason, std::time_t when) const {
    const WebDirectory folder = directory_.Subdirectory(kHeldFolderName, DirectoryLinks::Refuse, true);
    folder.ReplaceAtomically(job.file, reason.substr(0, kLongestHeldReason));
    // The held job's time is its file's modification time.
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ::utimensat(folder.descriptor(), job.file.c_str(), times, AT_SYMLINK_NOFOLLOW);
    Remove(job);
}

void TargetSpool::Release(const UploadJob& job) const {
    try {
        directory_.Subdirectory(kHeldFolderName, DirectoryLinks::Refuse).RemoveRegularFile(job.file);
    } catch (const FileError&) {
        // Gone already, or not a held job of ours.
    }
}

UploadTargets LoadUploadTargets(const WebDirectory& web) {
    const FileRead read = web.Read(kSettingsName, kLongestSettings);
    if (!read.ok) return {};
    return ParseUploadTargets(read.bytes, (web.path() / kSettingsName).string());
}

void AppendUploadLog(const WebDirectory& web, std::time_t when, std::string_view text) {
    try {
        web.AppendLine(kUploadLogName, LocalTimeText(when) + " " + std::string(text) + "\n");
    } catch (const FileError&) {
        // The log is a courtesy; the queue itself is what must not be lost.
    }
}

bool LogChangedSettingsWarnings(const WebDirectory& web, const UploadStatus& recorded,
                                const std::vector<std::string>& warnings, std::time_t now) {
    if (recorded.settingsWarnings == warnings) return false;
    for (const auto& warning : warnings) AppendUploadLog(web, now, "settings: " + warning);
    if (warnings.empty()) AppendUploadLog(web, now, "settings: no problems left");
    return true;
}

EnqueueOutcome EnqueueJobs(const WebDirectory& web, const std::vector<UploadTarget>& targets,
                           const std::vector<std::string>& publicPaths, std::time_t now) {
    EnqueueOutcome outcome;
    std::vector<std::string> paths;
    for (const auto& path : publicPaths) {
        if (IsPublicPath(path)) {
            if (std::find(paths.begin(), paths.end(), path) == paths.end()) paths.push_back(path);
        } else {
            outcome.notes.push_back("not queued, not a public path: " + nlohmann::json(path).dump(-1, ' ', false, nlohmann::json::error_handler_t::replace));
        }
    }
    for (const auto& target : targets) {
        try {
            const TargetSpool spool(web, target.name, true);
            const WebDirectory spoolFolder = web.Subdirectory(kUploadSpoolName, DirectoryLinks::Refuse);
            std::vector<std::string> targetPaths = ChangedSiteFiles(web, spoolFolder, target.name);
            const bool siteFilesQueued = !targetPaths.empty();
            targetPaths.insert(targetPaths.end(), paths.begin(), paths.end());
            for (const auto& path : targetPaths) {
                spool.Add(path);
                ++outcome.queued;
            }
            spool.Flush();
            if (siteFilesQueued) spoolFolder.ReplaceAtomically(SiteMarkerName(target.name), std::string_view{});
        } catch (const FileError& e) {
            outcome.notes.push_back(target.name + ": cannot queue: " + e.what());
        }
    }
    for (const auto& note : outcome.notes) AppendUploadLog(web, now, note);
    return outcome;
}

std::vector<std::string> EnqueueUploads(const std::filesystem::path& webDirectory,
                                        const std::vector<std::string>& publicPaths) {
    try {
        const WebDirectory web = WebDirectory::Open(webDirectory);
        const UploadTargets configured = LoadUploadTargets(web);
        const std::time_t now = std::time(nullptr);
        UploadStatus recorded = ReadUploadStatus(web);
        if (LogChangedSettingsWarnings(web, recorded, configured.warnings, now)) {
            // upload.json belongs to the running uploader; without one it is updated here.
            if (const auto lock = UploaderLock::TryAcquire(web)) {
                recorded.settingsWarnings = configured.warnings;
                const std::string error = WriteUploadStatus(web, recorded, now);
                if (!error.empty()) AppendUploadLog(web, now, "cannot write upload.json: " + error);
            }
        }
        if (configured.targets.empty()) return configured.warnings;
        EnqueueJobs(web, configured.targets, publicPaths, now);
        std::string error;
        if (!StartUploaderUnlessRunning(web, error)) AppendUploadLog(web, now, "cannot start tessel-upload: " + error);
        return configured.warnings;
    } catch (const std::exception&) {
        // The web directory itself cannot be opened: the converter reports that on its own.
        return {};
    }
}

}  // namespace tessel
