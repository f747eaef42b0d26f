#include "emulator_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

extern char** environ;

namespace dc2x::testing {

namespace {

constexpr int kStartLimitMs = 10000;

// Reads the first line the child prints, or less when the pipe closes or time runs out.
std::string ReadFirstLine(int fd) {
    std::string line;
    char c = 0;
    while (true) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kStartLimitMs) <= 0 || ::read(fd, &c, 1) != 1 || c == '\n') return line;
        line += c;
    }
}

std::string TempLogPath() {
    char name[] = "/tmp/dc2x-emulator-log-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) throw std::runtime_error("cannot create the emulator's log file");
    ::close(fd);
    return name;
}

}  // namespace

EmulatorProcess::EmulatorProcess(const std::string& program, const std::vector<std::string>& arguments)
    : logPath_(TempLogPath()) {
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    words.emplace_back("--verbose");
    std::vector<char*> argv;
    for (std::string& w : words) argv.push_back(w.data());
    argv.push_back(nullptr);

    int out[2];
    if (::pipe2(out, O_CLOEXEC) != 0) throw std::runtime_error("pipe");
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, logPath_.c_str(), O_WRONLY | O_APPEND, 0);
    const int spawned = ::posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (spawned != 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start " + program);
    }
    path_ = ReadFirstLine(out[0]);
    ::close(out[0]);
    if (path_.empty()) {
        const std::string log = Log();
        Stop();
        throw std::runtime_error("emulator printed no terminal path: " + log);
    }
}

EmulatorProcess::~EmulatorProcess() { Stop(); }

void EmulatorProcess::Stop() {
    if (pid_ > 0 && !reaped_) {
        ::kill(pid_, SIGTERM);
        ::waitpid(pid_, nullptr, 0);
        reaped_ = true;
    }
    if (!logPath_.empty()) std::filesystem::remove(logPath_);
    logPath_.clear();
}

std::string EmulatorProcess::Log() const {
    std::ifstream in(logPath_);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

bool EmulatorProcess::WaitForExit(std::chrono::milliseconds wait) {
    const auto end = std::chrono::steady_clock::now() + wait;
    while (!reaped_) {
        if (::waitpid(pid_, nullptr, WNOHANG) == pid_) {
            reaped_ = true;
        } else if (std::chrono::steady_clock::now() >= end) {
            return false;
        } else {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    return true;
}

int OpenDescriptorCount() {
    int count = 0;
    for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) ++count;
    return count;
}

}  // namespace dc2x::testing
