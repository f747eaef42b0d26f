// What the black-box tests of tesseld need: the program as a child process with its output in a
// file, and a notification socket standing in for systemd's.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tessel::service::testing {

class TesseldProcess {
public:
    // Starts `program` with `arguments`, the test's environment changed by `environment` (a value
    // of nothing removes the variable); standard output and error go to `logFile`.
    TesseldProcess(const std::string& program, const std::vector<std::string>& arguments,
                   const std::map<std::string, std::optional<std::string>>& environment,
                   const std::filesystem::path& logFile);
    ~TesseldProcess();
    TesseldProcess(const TesseldProcess&) = delete;
    TesseldProcess& operator=(const TesseldProcess&) = delete;

    pid_t pid() const { return pid_; }
    void Signal(int signal) const;
    // The exit status once the program ended by itself within `limit`; -1 when it still runs,
    // 128 + the signal when a signal ended it.
    int WaitForExit(std::chrono::milliseconds limit);
    bool Running();

private:
    pid_t pid_ = -1;
    std::optional<int> status_;
};

// An AF_UNIX datagram socket bound to a file, as systemd's notification socket.
class NotifySocket {
public:
    explicit NotifySocket(std::filesystem::path path);
    ~NotifySocket();
    NotifySocket(const NotifySocket&) = delete;
    NotifySocket& operator=(const NotifySocket&) = delete;

    const std::filesystem::path& path() const { return path_; }
    // Receives messages until one contains `text`, at most `limit` long; all received so far are
    // kept in `messages`. True when it came.
    bool WaitFor(const std::string& text, std::chrono::milliseconds limit) { return WaitForCount(text, 1, limit); }
    // The same for `count` messages that contain `text`.
    bool WaitForCount(const std::string& text, std::size_t count, std::chrono::milliseconds limit);

    std::vector<std::string> messages;

private:
    std::size_t Count(const std::string& text) const;

    std::filesystem::path path_;
    int descriptor_ = -1;
};

// Polls `condition` every 50 ms for at most `limit`; true once it holds.
template <typename Condition>
bool WaitUntil(Condition condition, std::chrono::milliseconds limit);

}  // namespace tessel::service::testing

#include <thread>

template <typename Condition>
bool tessel::service::testing::WaitUntil(Condition condition, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    return true;
}
