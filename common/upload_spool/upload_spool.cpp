#include "upload_spool.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <map>
#include <array>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <nlohmann/json.hpp>

#include "uploader_launch.h"

namespace tessel {
namespace {

constexpr std::size_t kLongestSettings = 1 << 20;
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

std::string NewJobName(std::string_view path) {
    static std::atomic<unsigned> counter{0};
    const auto nanoseconds = std::chrono::duration_cast<std::chrono::nanoseconds>(
                                 std::chrono::system_clock::now().time_since_epoch()).count();
    char name[80];
    std::snprintf(name, sizeof name, "%020lld-%07d-%05u", static_cast<long long>(nanoseconds),
                  static_cast<int>(getpid()), counter++ % 100000);
    std::string encoded(path);
    std::replace(encoded.begin(), encoded.end(), '/', kPathMark);
    return std::string(name) + kPathMark + encoded + std::string(kJobSuffix);
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

UploadTargets LoadUploadTargets(const WebDirectory& web) {
    const FileRead read = web.Read(kSettingsName, kLongestSettings);
    if (!read.ok) return {};
    return ParseUploadTargets(read.bytes);
}

void AppendUploadLog(const WebDirectory& web, std::time_t when, std::string_view text) {
    try {
        web.AppendLine(kUploadLogName, LocalTimeText(when) + " " + std::string(text) + "\n");
    } catch (const FileError&) {
        // The log is a courtesy; the queue itself is what must not be lost.
    }
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
            targetPaths.insert(targetPaths.end(), paths.begin(), paths.end());
            std::vector<UploadJob> jobs = spool.Jobs(outcome.notes);
            for (const auto& path : targetPaths) {
                const UploadJob added = spool.Add(path);
                ++outcome.queued;
                // The earlier jobs for this path are superseded: the file is read when it is sent.
                std::erase_if(jobs, [&](const UploadJob& job) {
                    if (job.path != path) return false;
                    spool.Remove(job);
                    return true;
                });
                jobs.push_back(added);
            }
            spool.Flush();
            spoolFolder.ReplaceAtomically(SiteMarkerName(target.name), std::string_view{});
            for (auto job = jobs.begin(); jobs.size() > target.queueLimit && job != jobs.end();) {
                if (!IsReplaceable(job->path)) {
                    ++job;
                    continue;
                }
                spool.Remove(*job);
                outcome.notes.push_back(target.name + ": queue over its limit of " + std::to_string(target.queueLimit) +
                                        ", dropped " + job->path);
                job = jobs.erase(job);
            }
        } catch (const FileError& e) {
            outcome.notes.push_back(target.name + ": cannot queue: " + e.what());
        }
    }
    for (const auto& note : outcome.notes) AppendUploadLog(web, now, note);
    return outcome;
}

void EnqueueUploads(const std::filesystem::path& webDirectory, const std::vector<std::string>& publicPaths) {
    try {
        const WebDirectory web = WebDirectory::Open(webDirectory);
        const UploadTargets configured = LoadUploadTargets(web);
        if (configured.targets.empty()) return;
        const std::time_t now = std::time(nullptr);
        EnqueueJobs(web, configured.targets, publicPaths, now);
        std::string error;
        if (!StartUploaderUnlessRunning(web, error)) AppendUploadLog(web, now, "cannot start tessel-upload: " + error);
    } catch (const std::exception&) {
        // The web directory itself cannot be opened: the converter reports that on its own.
    }
}

}  // namespace tessel
