#include "uploader.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <limits>
#include <optional>
#include <thread>

#include "credentials.h"
#include "upload_spool.h"

namespace tessel {
namespace {

constexpr std::size_t kLongestUpload = std::size_t{1} << 30;
constexpr double kTurnSeconds = 2;          // one target's turn before the others get theirs
constexpr double kPollSeconds = 0.05;       // how often queues are looked at while waiting
constexpr double kStatusEverySeconds = 1;   // upload.json is rewritten at most this often on success

std::string SecondsText(double seconds) {
    char text[32];
    std::snprintf(text, sizeof text, seconds < 10 ? "%.3f" : "%.0f", seconds);
    return text;
}

}  // namespace

UploaderClock SystemClock() {
    return {
        [] { return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count(); },
        [](double seconds) { std::this_thread::sleep_for(std::chrono::duration<double>(seconds)); },
        [] { return std::time(nullptr); },
    };
}

Uploader::Uploader(const WebDirectory& web, std::vector<TargetConnection> targets, UploaderClock clock)
    : web_(WebDirectory::Open(web.path())), clock_(std::move(clock)), status_(ReadUploadStatus(web)) {
    for (auto& connection : targets) {
        status_[connection.target.name].url = connection.target.url;
        targets_.push_back({std::move(connection)});
    }
}

void Uploader::Drain() {
    while (true) {
        bool pending = false;
        bool sent = false;
        double wakeAt = std::numeric_limits<double>::infinity();
        for (auto& target : targets_) sent = SendQueued(target, pending, wakeAt) || sent;
        SaveStatus(!pending);
        if (!pending) return;
        if (!sent) clock_.sleep(std::clamp(wakeAt - clock_.seconds(), 0.0, kPollSeconds));
    }
}

bool Uploader::HasJobs() const {
    for (const auto& target : targets_) {
        try {
            std::vector<std::string> refused;
            if (!TargetSpool(web_, target.connection.target.name, false).Jobs(refused).empty()) return true;
        } catch (const FileError&) {
            // No spool folder: nothing queued.
        }
    }
    return false;
}

bool Uploader::SendQueued(Target& target, bool& pending, double& wakeAt) {
    const std::string& name = target.connection.target.name;
    if (clock_.seconds() < target.retryAt) {
        // Waiting after a failure, which left the job queued: the queue is not looked at again
        // until the wait is over.
        pending = true;
        wakeAt = std::min(wakeAt, target.retryAt);
        return false;
    }
    std::vector<std::string> refused;
    std::vector<UploadJob> jobs;
    try {
        const TargetSpool spool(web_, name, true);
        jobs = spool.Jobs(refused);
    } catch (const FileError& e) {
        refused.emplace_back(e.what());
    }
    for (const auto& note : refused) Log(target, note);
    status_[name].queueLength = jobs.size();
    if (jobs.empty()) return false;
    pending = true;
    const TargetSpool spool(web_, name, false);
    const double turnEnds = clock_.seconds() + kTurnSeconds;
    std::vector<bool> done(jobs.size(), false);
    for (std::size_t i = 0; i < jobs.size() && clock_.seconds() < turnEnds; ++i) {
        if (done[i]) continue;
        const std::string path = jobs[i].path;
        std::string bytes;
        std::string why;
        SendResult result{true, {}};
        const double started = clock_.seconds();
        const bool haveFile = ReadLocal(path, bytes, why);
        if (haveFile) {
            result = target.connection.transport ? target.connection.transport->Send(path, bytes)
                                                 : SendResult{false, target.connection.setupError};
        }
        if (!result.ok) {
            Failed(target, path, result.error);
            return true;
        }
        // Every listed job for this path was queued before the file was read, so all are served.
        for (std::size_t j = i; j < jobs.size(); ++j) {
            if (jobs[j].path != path) continue;
            spool.Remove(jobs[j]);
            done[j] = true;
        }
        status_[name].queueLength = jobs.size() - static_cast<std::size_t>(std::count(done.begin(), done.end(), true));
        if (haveFile) {
            Succeeded(target, path, bytes.size(), clock_.seconds() - started);
        } else {
            Log(target, "skipped " + path + ": " + why);
        }
    }
    return true;
}

bool Uploader::ReadLocal(const std::string& path, std::string& bytes, std::string& why) const {
    try {
        std::optional<WebDirectory> folder;
        std::size_t start = 0;
        for (auto slash = path.find('/'); slash != std::string::npos; slash = path.find('/', start)) {
            const std::string part = path.substr(start, slash - start);
            folder = (folder ? *folder : web_).Subdirectory(part, DirectoryLinks::FollowIfOwned);
            start = slash + 1;
        }
        FileRead read = (folder ? *folder : web_).Read(path.substr(start), kLongestUpload);
        if (!read.ok) {
            why = read.missing ? "the file is gone" : read.error;
            return false;
        }
        bytes = std::move(read.bytes);
        return true;
    } catch (const FileError& e) {
        why = e.what();
        return false;
    }
}

void Uploader::Succeeded(Target& target, const std::string& path, std::size_t bytes, double seconds) {
    TargetStatus& s = status_[target.connection.target.name];
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
    TargetStatus& s = status_[t.name];
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
    const std::string error = WriteUploadStatus(web_, status_, clock_.now());
    if (!error.empty()) AppendUploadLog(web_, clock_.now(), "cannot write upload.json: " + error);
}

}  // namespace tessel
