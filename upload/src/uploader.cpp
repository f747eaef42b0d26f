#include "uploader.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <thread>

#include <fcntl.h>
#include <sys/stat.h>

#include "credentials.h"

namespace tessel {
namespace {

constexpr double kTurnSeconds = 2;          // one target's turn before the others get theirs
constexpr double kStatusEverySeconds = 1;   // upload.json is rewritten at most this often on success
constexpr double kNever = std::numeric_limits<double>::infinity();

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, seconds < 10 ? "%.3f" : "%.0f", seconds);
    return text;
}

struct OpenedFile {
    FileDescriptor descriptor;
    std::uint64_t size = 0;
};

// Opens the public file at `path` for reading: its folders are followed only when they are links
// of this account or root (an archive moved to another disk), the file itself must be a regular
// file and no link. Nothing, with `why` set, when it is gone or refused.
std::optional<OpenedFile> OpenPublicFile(const WebDirectory& web, const std::string& path, std::string& why) {
    try {
        std::optional<WebDirectory> folder;
        std::size_t start = 0;
        for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
            folder = (folder ? *folder : web).Subdirectory(path.substr(start, slash - start), DirectoryLinks::FollowIfOwned);
            start = slash + 1;
        }
        const std::string name = path.substr(start);
        FileDescriptor descriptor(::openat((folder ? *folder : web).descriptor(), name.c_str(),
                                           O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
        struct stat status {};
        if (!descriptor.valid()) {
            why = errno == ENOENT ? "the file is gone" : errno == ELOOP ? "it is a symbolic link; refused" : "it cannot be opened";
            return std::nullopt;
        }
        if (::fstat(descriptor.get(), &status) != 0 || !S_ISREG(status.st_mode)) {
            why = "not a regular file; refused";
            return std::nullopt;
        }
        return OpenedFile{std::move(descriptor), static_cast<std::uint64_t>(status.st_size)};
    } catch (const FileError& e) {
        why = e.what();
        return std::nullopt;
    }
}

}  // namespace

UploaderClock SystemClock() {
    return {
        [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); },
        [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); },
        [] { return std::time(nullptr); },
    };
}

Uploader::Uploader(const WebDirectory& web, std::vector<TargetConnection> targets, UploaderClock clock,
                   std::vector<std::string> settingsWarnings)
    : web_(WebDirectory::Open(web.path())), clock_(std::move(clock)), status_(ReadUploadStatus(web)) {
    status_.settingsWarnings = std::move(settingsWarnings);
    const double steadyNow = clock_.seconds();
    const std::time_t wallNow = clock_.now();
    for (auto& connection : targets) {
        Target target{std::move(connection), 0, 0, {}, {}};
        const UploadTarget& t = target.connection.target;
        TargetStatus& s = status_.targets[t.name];
        s.url = t.url;
        // A wait begun by an earlier uploader goes on (bounded by the target's longest wait).
        if (s.nextAttempt > wallNow) {
            target.retryAt = steadyNow + std::min<double>(static_cast<double>(s.nextAttempt - wallNow), t.retryLongest);
        }
        try {
            target.held = TargetSpool(web_, t.name, false).Held();
        } catch (const FileError&) {
            // No spool folder: nothing queued or held.
        }
        if (!target.connection.transport) {
            s.lastError = target.connection.setupError;
            Log(target, "not used: " + target.connection.setupError + "; its queue is kept");
        }
        targets_.push_back(std::move(target));
    }
}

void Uploader::Drain() {
    while (true) {
        for (auto& target : targets_) {
            if (!target.connection.transport || clock_.seconds() < target.retryAt) continue;
            RetryHeld(target);
            SendQueued(target);
        }
        double next = kNever;
        for (const auto& target : targets_) next = std::min(next, NextDue(target, target.queued));
        const double wait = next - clock_.seconds();
        if (wait > 0) SaveStatus(true);
        if (wait > kIdleExitSeconds) return;
        if (wait > 0) clock_.wait(wait);
    }
}

bool Uploader::HasDueJobs() const {
    for (const auto& target : targets_) {
        std::size_t queued = 0;
        try {
            std::vector<std::string> refused;
            queued = TargetSpool(web_, target.connection.target.name, false).Jobs(refused).size();
        } catch (const FileError&) {
            // No spool folder: nothing queued.
        }
        if (NextDue(target, queued) - clock_.seconds() <= kIdleExitSeconds) return true;
    }
    return false;
}

double Uploader::NextDue(const Target& target, std::size_t queued) const {
    if (!target.connection.transport) return kNever;
    const double now = clock_.seconds();
    double due = queued > 0 ? now : kNever;
    const std::time_t wallNow = clock_.now();
    for (const auto& held : target.held) {
        due = std::min(due, now + static_cast<double>(held.heldAt - wallNow) + target.connection.target.retryHeld);
    }
    return std::max(due, target.retryAt);
}

void Uploader::SendQueued(Target& target) {
    const std::string& name = target.connection.target.name;
    std::vector<std::string> refused;
    std::vector<UploadJob> jobs;
    std::optional<TargetSpool> spool;
    try {
        spool.emplace(web_, name, true);
        jobs = spool->Jobs(refused);
        for (const auto& path : spool->Trim(jobs, target.connection.target.queueLimit)) {
            refused.push_back("queue over its limit of " + std::to_string(target.connection.target.queueLimit) +
                              ", dropped " + path);
        }
    } catch (const FileError& e) {
        refused.emplace_back(e.what());
    }
    for (const auto& note : refused) Log(target, note);
    target.queued = jobs.size();
    status_.targets[name].queueLength = jobs.size();
    if (jobs.empty()) return;
    const double turnEnds = clock_.seconds() + kTurnSeconds;
    std::vector<bool> done(jobs.size(), false);
    for (std::size_t i = 0; i < jobs.size() && clock_.seconds() < turnEnds; ++i) {
        if (done[i]) continue;
        const std::string path = jobs[i].path;
        std::string reason;
        const Attempt attempt = Try(target, path, false, reason);
        if (attempt == Attempt::TargetWaits) return;
        if (attempt == Attempt::Held) {
            Hold(target, *spool, jobs[i], reason);
            done[i] = true;
        } else {
            // Every listed job for this path was queued before the file was read, so all are served.
            for (std::size_t j = i; j < jobs.size(); ++j) {
                if (jobs[j].path != path) continue;
                spool->Remove(jobs[j]);
                done[j] = true;
            }
            if (attempt == Attempt::Sent) ReleaseHeld(target, *spool, path);
        }
        target.queued = jobs.size() - static_cast<std::size_t>(std::count(done.begin(), done.end(), true));
        status_.targets[name].queueLength = target.queued;
    }
}

void Uploader::RetryHeld(Target& target) {
    const std::time_t wallNow = clock_.now();
    const double retryHeld = target.connection.target.retryHeld;
    const std::vector<HeldJob> due = [&] {
        std::vector<HeldJob> list;
        for (const auto& held : target.held) {
            if (static_cast<double>(wallNow - held.heldAt) >= retryHeld) list.push_back(held);
        }
        return list;
    }();
    if (due.empty()) return;
    const TargetSpool spool(web_, target.connection.target.name, false);
    for (const auto& held : due) {
        std::string reason;
        const Attempt attempt = Try(target, held.job.path, true, reason);
        if (attempt == Attempt::TargetWaits) return;
        if (attempt == Attempt::Held) {
            Hold(target, spool, held.job, reason);
        } else {
            ReleaseHeld(target, spool, held.job.path);
        }
    }
}

Uploader::Attempt Uploader::Try(Target& target, const std::string& path, bool alreadyHeld, std::string& reason) {
    std::string why;
    const double started = clock_.seconds();
    const auto file = OpenPublicFile(web_, path, why);
    if (!file) {
        Log(target, "skipped " + path + ": " + why);
        return Attempt::Skipped;
    }
    const UploadTarget& t = target.connection.target;
    if (file->size > t.maxUploadBytes) {
        Log(target, "refused " + path + ": " + std::to_string(file->size) + " bytes, more than max_upload_bytes (" +
                        std::to_string(t.maxUploadBytes) + "); not sent");
        return Attempt::Skipped;
    }
    const SendResult result = target.connection.transport->Send(path, {file->descriptor.get(), file->size});
    if (!result.note.empty()) Log(target, result.note);
    if (result.ok) {
        target.fileRefusals.erase(path);
        Succeeded(target, path, file->size, clock_.seconds() - started);
        return Attempt::Sent;
    }
    const bool aboutTheFile = result.scope != FailureScope::Target;
    const bool final = result.scope == FailureScope::FileRefused || alreadyHeld ||
                       (aboutTheFile && ++target.fileRefusals[path] >= kTriesBeforeHold);
    if (aboutTheFile && final) {
        target.fileRefusals.erase(path);
        reason = WithoutSecrets(result.error, target.connection.secrets);
        return Attempt::Held;
    }
    Failed(target, path, result.error);
    return Attempt::TargetWaits;
}

void Uploader::Hold(Target& target, const TargetSpool& spool, const UploadJob& job, const std::string& reason) {
    const std::time_t now = clock_.now();
    TargetStatus& s = status_.targets[target.connection.target.name];
    s.lastFailure = now;
    s.lastError = reason;
    // Only the newest job of a path is kept aside: it carries the file's newest content.
    for (const auto& older : target.held) {
        if (older.job.path == job.path && older.job.file != job.file) spool.Release(older.job);
    }
    std::erase_if(target.held, [&](const HeldJob& h) { return h.job.path == job.path; });
    try {
        spool.Hold(job, reason, now);
    } catch (const FileError& e) {
        Log(target, "cannot hold " + job.path + ": " + e.what());
        return;
    }
    target.held.push_back({job, reason, now});
    Log(target, "held " + job.path + ": " + reason + "; the queue goes on, next attempt in " +
                    SecondsText(target.connection.target.retryHeld) + " s");
    SaveStatus(true);
}

void Uploader::ReleaseHeld(Target& target, const TargetSpool& spool, const std::string& path) {
    std::erase_if(target.held, [&](const HeldJob& held) {
        if (held.job.path != path) return false;
        spool.Release(held.job);
        return true;
    });
}

void Uploader::Succeeded(Target& target, const std::string& path, std::uint64_t bytes, double seconds) {
    TargetStatus& s = status_.targets[target.connection.target.name];
    s.lastSuccess = clock_.now();
    s.lastSuccessPath = path;
    s.lastError.clear();
    s.consecutiveFailures = 0;
    s.nextAttempt = 0;
    target.retryAt = 0;
    Log(target, "sent " + path + " (" + std::to_string(bytes) + " bytes, " + SecondsText(seconds) + " s)");
    SaveStatus(false);
}

void Uploader::Failed(Target& target, const std::string& path, const std::string& error) {
    const UploadTarget& t = target.connection.target;
    TargetStatus& s = status_.targets[t.name];
    ++s.consecutiveFailures;
    const double wait = std::min(t.retryLongest, t.retryFirst * std::pow(2.0, std::min(s.consecutiveFailures - 1, 30)));
    target.retryAt = clock_.seconds() + wait;
    s.lastFailure = clock_.now();
    s.lastError = WithoutSecrets(error, target.connection.secrets);
    s.nextAttempt = s.lastFailure + static_cast<std::time_t>(std::ceil(wait));
    Log(target, "failed " + path + ": " + s.lastError + "; next attempt in " + SecondsText(wait) + " s");
    SaveStatus(true);
}

void Uploader::Log(const Target& target, const std::string& text) const {
    AppendUploadLog(web_, clock_.now(), WithoutSecrets(target.connection.target.name + " " + text, target.connection.secrets));
}

void Uploader::SaveStatus(bool always) {
    const double now = clock_.seconds();
    if (!always && now - statusSavedAt_ < kStatusEverySeconds) return;
    statusSavedAt_ = now;
    for (const auto& target : targets_) {
        TargetStatus& s = status_.targets[target.connection.target.name];
        s.held.clear();
        for (const auto& held : target.held) {
            s.held.push_back({held.job.path, held.reason, held.heldAt,
                              held.heldAt + static_cast<std::time_t>(std::ceil(target.connection.target.retryHeld))});
        }
    }
    const std::string error = WriteUploadStatus(web_, status_, clock_.now());
    if (!error.empty()) AppendUploadLog(web_, clock_.now(), "cannot write upload.json: " + error);
}

}  // namespace tessel
