// What the alert tests share: a log that records its lines and can be waited on, scratch
// folders, a simulated capture loop, and the real webhook receivers (Python's http.server as a
// recorder, and a port that refuses connections).
#pragma once

#include <sys/types.h>

#include <chrono>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "alert_log.h"
#include "alerts.h"
#include "file_descriptor.h"

namespace tessel::alerts::testing {

// Long enough for anything that should happen at once, on a loaded machine under sanitizers.
inline constexpr auto kPatience = std::chrono::seconds(60);

class LogRecorder {
public:
    AlertLog Sink();
    std::vector<std::string> Lines() const;
    // Lines containing `fragment`.
    std::size_t Count(std::string_view fragment) const;
    // Waits until `count` lines contain `fragment`; false when that did not happen in kPatience.
    bool WaitFor(std::string_view fragment, std::size_t count = 1) const;
    // Every line, for failure messages.
    std::string Text() const;

private:
    mutable std::mutex mutex_;
    mutable std::condition_variable changed_;
    std::vector<std::string> lines_;
};

// A fresh, empty folder for one test.
std::filesystem::path ScratchFolder(const std::string& name);

// Writes an executable shell script.
std::filesystem::path WriteScript(const std::filesystem::path& file, const std::string& body);

// An alert command that writes its process id next to itself, then sleeps until it is killed.
class HangingProgram {
public:
    explicit HangingProgram(const std::filesystem::path& folder);

    const std::filesystem::path& Path() const { return path_; }
    // Waits until a run started; false when none did in kPatience.
    bool WaitUntilRunning() const;
    // The process id of the run.
    pid_t Pid() const;

private:
    std::filesystem::path path_;
};

// "2026-12-10T08:30:MMSS+01:00"-like stamps for the simulated steps, different for each step.
std::string StepTime(int step);

// A failed capture at `step`, the `failures`-th in a row.
StepOutcome Failed(int step, uint32_t failures);
StepOutcome Good(int step);

// A simulated capture loop: a step every `pause`, each reported to the alerts as it ends with
// the count of failed steps in a row, and the time the reports took measured against the time
// the loop paused.
class CaptureLoop {
public:
    CaptureLoop(Alerts& alerts, std::chrono::milliseconds pause) : alerts_(alerts), pause_(pause) {}

    void Step(bool good);
    // Steps with failed captures until `done` says so; false when it did not in kPatience.
    bool FailUntil(const std::function<bool()>& done);
    int Steps() const { return steps_; }
    // The time spent in reports as a share of the time spent in pauses: near 0 when reports
    // return at once, above 1 when they wait for a delivery's tries.
    double ReportShare() const;

private:
    Alerts& alerts_;
    std::chrono::milliseconds pause_;
    int steps_ = 0;
    uint32_t failures_ = 0;
    std::chrono::steady_clock::duration reporting_{};
};

// The webhook receiver: tests/webhook_recorder.py in MODE, on a free loopback port, stopped
// (its process group killed and reaped) when the object goes.
class WebhookRecorder {
public:
    explicit WebhookRecorder(const std::string& mode);
    ~WebhookRecorder();
    WebhookRecorder(const WebhookRecorder&) = delete;
    WebhookRecorder& operator=(const WebhookRecorder&) = delete;

    // http://[userInfo@]127.0.0.1:PORT/path
    std::string Url(const std::string& path, const std::string& userInfo = "") const;
    std::vector<nlohmann::json> Requests() const;
    // Waits until at least `count` requests arrived; false when they did not in kPatience.
    bool WaitForRequests(std::size_t count) const;

private:
    std::filesystem::path folder_;
    pid_t server_ = -1;
    int port_ = 0;
};

// A loopback port with a socket bound to it that does not listen: connections are refused, and
// no other program can take the port while the object lives.
class RefusingPort {
public:
    RefusingPort();
    std::string Url() const;

private:
    FileDescriptor socket_;
    int port_ = 0;
};

}  // namespace tessel::alerts::testing
