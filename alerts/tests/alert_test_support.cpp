#include "alert_test_support.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <fstream>
#include <stdexcept>
#include <thread>

#include "child_process.h"

namespace tessel::alerts::testing {
namespace {

namespace fs = std::filesystem;

int recorders = 0;

int PortOf(int socket)
{
    sockaddr_in address{};
    socklen_t size = sizeof address;
    if (getsockname(socket, reinterpret_cast<sockaddr*>(&address), &size) != 0) {
        throw std::runtime_error("getsockname failed");
    }
    return ntohs(address.sin_port);
}

// The first line `descriptor` gives within kPatience; "" when none came.
std::string FirstLine(int descriptor)
{
    std::string text;
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (text.find('\n') == std::string::npos && std::chrono::steady_clock::now() < deadline) {
        pollfd watched{descriptor, POLLIN, 0};
        if (poll(&watched, 1, 100) <= 0) {
            continue;
        }
        char buffer[64];
        const ssize_t got = read(descriptor, buffer, sizeof buffer);
        if (got <= 0) {
            break;
        }
        text.append(buffer, static_cast<std::size_t>(got));
    }
    return text.substr(0, text.find('\n'));
}

}  // namespace

AlertLog LogRecorder::Sink()
{
    return [this](AlertLogLevel, const std::string& line) {
        const std::lock_guard lock(mutex_);
        lines_.push_back(line);
        changed_.notify_all();
    };
}

std::vector<std::string> LogRecorder::Lines() const
{
    const std::lock_guard lock(mutex_);
    return lines_;
}

std::size_t LogRecorder::Count(std::string_view fragment) const
{
    std::size_t count = 0;
    for (const auto& line : Lines()) {
        count += line.find(fragment) != std::string::npos ? 1 : 0;
    }
    return count;
}

bool LogRecorder::WaitFor(std::string_view fragment, std::size_t count) const
{
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, kPatience, [&] {
        std::size_t found = 0;
        for (const auto& line : lines_) {
            found += line.find(fragment) != std::string::npos ? 1 : 0;
        }
        return found >= count;
    });
}

std::string LogRecorder::Text() const
{
    std::string text;
    for (const auto& line : Lines()) {
        text += line + "\n";
    }
    return text;
}

fs::path ScratchFolder(const std::string& name)
{
    const fs::path folder = fs::temp_directory_path() / ("alerts_test." + std::to_string(getpid()) + "." + name);
    fs::remove_all(folder);
    fs::create_directories(folder);
    return folder;
}

fs::path WriteScript(const fs::path& file, const std::string& body)
{
    std::ofstream(file) << "#!/bin/sh\n" << body << "\n";
    fs::permissions(file, fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
    return file;
}

HangingProgram::HangingProgram(const fs::path& folder)
    : path_(WriteScript(folder / "hanging", "echo $$ > \"$0.pid\"; exec sleep 100000"))
{
}

bool HangingProgram::WaitUntilRunning() const
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (Pid() == 0) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

pid_t HangingProgram::Pid() const
{
    std::ifstream in(path_.string() + ".pid");
    pid_t pid = 0;
    return in >> pid ? pid : 0;
}

std::string StepTime(int step)
{
    char text[40];
    std::snprintf(text, sizeof text, "2026-12-10T08:%02d:%02d+01:00", (step / 60) % 60, step % 60);
    return text;
}

StepOutcome Failed(int step, uint32_t failures)
{
    return {StepResult::FailedCapture, "Failed to connect to the camera (step " + std::to_string(step) + ")",
            failures, StepTime(step)};
}

StepOutcome Good(int step)
{
    return {StepResult::GoodPicture, "Deleting Picture Finished Processing (step " + std::to_string(step) + ")", 0,
            StepTime(step)};
}

void CaptureLoop::Step(bool good)
{
    failures_ = good ? 0 : failures_ + 1;
    const StepOutcome outcome = good ? Good(steps_) : Failed(steps_, failures_);
    const auto before = std::chrono::steady_clock::now();
    alerts_.StepFinished(outcome);
    reporting_ += std::chrono::steady_clock::now() - before;
    ++steps_;
    std::this_thread::sleep_for(pause_);
}

bool CaptureLoop::FailUntil(const std::function<bool()>& done)
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        Step(false);
    }
    return true;
}

double CaptureLoop::ReportShare() const
{
    return std::chrono::duration<double>(reporting_) / (std::chrono::duration<double>(pause_) * steps_);
}

WebhookRecorder::WebhookRecorder(const std::string& mode)
    : folder_(ScratchFolder("webhook." + std::to_string(++recorders)))
{
    int output[2];
    if (pipe2(output, O_CLOEXEC) != 0) {
        throw std::runtime_error("pipe failed");
    }
    const FileDescriptor ours(output[0]);
    FileDescriptor theirs(output[1]);
    ChildSetup setup;
    setup.descriptors = {{theirs.get(), STDOUT_FILENO}};
    setup.ownProcessGroup = true;
    std::string error;
    server_ = StartChild("/usr/bin/python3",
                         {"python3", ALERTS_TEST_SOURCE_DIR "/webhook_recorder.py", mode, (folder_ / "requests").string()},
                         setup, error);
    theirs.Close();
    if (server_ < 0) {
        throw std::runtime_error(error);
    }
    const std::string port = FirstLine(ours.get());
    port_ = port.empty() ? 0 : std::stoi(port);
    if (port_ == 0) {
        throw std::runtime_error("the webhook recorder did not say its port");
    }
}

WebhookRecorder::~WebhookRecorder()
{
    kill(-server_, SIGKILL);
    while (waitpid(server_, nullptr, 0) < 0 && errno == EINTR) {
    }
    std::error_code ignored;
    fs::remove_all(folder_, ignored);
}

std::string WebhookRecorder::Url(const std::string& path, const std::string& userInfo) const
{
    return "http://" + (userInfo.empty() ? "" : userInfo + "@") + "127.0.0.1:" + std::to_string(port_) + path;
}

std::vector<nlohmann::json> WebhookRecorder::Requests() const
{
    std::vector<nlohmann::json> requests;
    std::ifstream in(folder_ / "requests");
    std::string line;
    while (std::getline(in, line)) {
        // The recorder may be writing the last line right now.
        if (auto request = nlohmann::json::parse(line, nullptr, false); !request.is_discarded()) {
            requests.push_back(std::move(request));
        }
    }
    return requests;
}

bool WebhookRecorder::WaitForRequests(std::size_t count) const
{
    const auto deadline = std::chrono::steady_clock::now() + kPatience;
    while (Requests().size() < count) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
}

RefusingPort::RefusingPort() : socket_(socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0))
{
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (!socket_.valid() || bind(socket_.get(), reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind a loopback port");
    }
    port_ = PortOf(socket_.get());
}

std::string RefusingPort::Url() const
{
    return "http://127.0.0.1:" + std::to_string(port_) + "/hook";
}

}  // namespace tessel::alerts::testing
