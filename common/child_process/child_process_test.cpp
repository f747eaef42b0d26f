// Children start with an empty signal mask and default dispositions even when the caller blocks
// and ignores signals, as tesseld does for its signal descriptor.
#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "child_process.h"

namespace tessel {
namespace {

namespace fs = std::filesystem;

// Blocks and ignores signals the way a service does, for the life of one test.
class HostileSignals {
public:
    HostileSignals()
    {
        sigset_t set;
        sigemptyset(&set);
        for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) sigaddset(&set, signal);
        sigprocmask(SIG_BLOCK, &set, &savedMask_);
        savedPipe_ = std::signal(SIGPIPE, SIG_IGN);
        savedQuit_ = std::signal(SIGQUIT, SIG_IGN);
    }
    ~HostileSignals()
    {
        sigprocmask(SIG_SETMASK, &savedMask_, nullptr);
        std::signal(SIGPIPE, savedPipe_);
        std::signal(SIGQUIT, savedQuit_);
    }

private:
    sigset_t savedMask_{};
    void (*savedPipe_)(int) = SIG_DFL;
    void (*savedQuit_)(int) = SIG_DFL;
};

fs::path Scratch()
{
    const fs::path dir = fs::temp_directory_path() / ("child_process_test." + std::to_string(getpid()));
    fs::create_directories(dir);
    return dir;
}

std::string StatusLine(const fs::path& statusFile, const std::string& key)
{
    std::ifstream in(statusFile);
    std::string line;
    while (std::getline(in, line)) {
        if (line.rfind(key + ":", 0) == 0) return line.substr(key.size() + 1);
    }
    return "missing";
}

uint64_t SignalBits(const fs::path& statusFile, const std::string& key)
{
    return std::stoull(StatusLine(statusFile, key), nullptr, 16);
}

// glibc's posix_spawn leaves its two internal signals (32 and 33, below the SIGRTMIN programs
// see) ignored in the child; no program can use them. Every other signal must be at its default.
constexpr uint64_t kInternalSignals = (uint64_t{1} << 31) | (uint64_t{1} << 32);

void ExpectCleanSignalState(const fs::path& statusFile)
{
    EXPECT_EQ(SignalBits(statusFile, "SigBlk"), 0u);
    EXPECT_EQ(SignalBits(statusFile, "SigIgn") & ~kInternalSignals, 0u);
}

int WaitForExit(pid_t child)
{
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

TEST(ChildProcess, ChildHasEmptyMaskAndDefaultDispositions)
{
    const HostileSignals hostile;
    const fs::path dir = Scratch();
    const fs::path out = dir / "status";
    const int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    ChildSetup setup;
    setup.descriptors.emplace_back(file, STDOUT_FILENO);
    std::string error;
    const pid_t child = StartChild("/bin/cat", {"cat", "/proc/self/status"}, setup, error);
    close(file);
    ASSERT_GT(child, 0) << error;
    EXPECT_EQ(WaitForExit(child), 0);
    ExpectCleanSignalState(out);
    fs::remove_all(dir);
}

TEST(ChildProcess, ChildStopsOnSigtermWhileTheCallerBlocksIt)
{
    const HostileSignals hostile;
    ChildSetup setup;
    setup.quiet = true;
    std::string error;
    const pid_t child = StartChild("/bin/sleep", {"sleep", "30"}, setup, error);
    ASSERT_GT(child, 0) << error;
    kill(child, SIGTERM);
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFSIGNALED(status));
    EXPECT_EQ(WTERMSIG(status), SIGTERM);
}

TEST(ChildProcess, OwnProcessGroupAndWorkingDirectory)
{
    const fs::path dir = Scratch();
    ChildSetup setup;
    setup.directory = dir;
    setup.ownProcessGroup = true;
    setup.quiet = true;
    std::string error;
    const pid_t child = StartChild("/bin/sh", {"sh", "-c", "pwd > here; sleep 30"}, setup, error);
    ASSERT_GT(child, 0) << error;
    EXPECT_EQ(getpgid(child), child);
    for (int i = 0; i < 500 && !fs::exists(dir / "here"); ++i) std::this_thread::sleep_for(std::chrono::milliseconds(10));
    kill(-child, SIGKILL);
    WaitForExit(child);
    std::ifstream here(dir / "here");
    std::string line;
    std::getline(here, line);
    EXPECT_EQ(fs::path(line), fs::canonical(dir));
    fs::remove_all(dir);
}

TEST(ChildProcess, EnvironmentEntriesGoOnTopOfOurs)
{
    const fs::path dir = Scratch();
    const fs::path out = dir / "environment";
    setenv("CHILD_PROCESS_TEST_KEPT", "ours", 1);
    setenv("CHILD_PROCESS_TEST_REPLACED", "ours", 1);
    const int file = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    ASSERT_GE(file, 0);
    ChildSetup setup;
    setup.descriptors.emplace_back(file, STDOUT_FILENO);
    setup.environment = {"CHILD_PROCESS_TEST_REPLACED=theirs", "CHILD_PROCESS_TEST_ADDED=a b;$c"};
    std::string error;
    const pid_t child = StartChild("/usr/bin/env", {"env"}, setup, error);
    close(file);
    unsetenv("CHILD_PROCESS_TEST_KEPT");
    unsetenv("CHILD_PROCESS_TEST_REPLACED");
    ASSERT_GT(child, 0) << error;
    EXPECT_EQ(WaitForExit(child), 0);
    std::ifstream in(out);
    std::string line;
    std::vector<std::string> ours;
    while (std::getline(in, line)) {
        if (line.starts_with("CHILD_PROCESS_TEST_")) ours.push_back(line);
    }
    std::ranges::sort(ours);
    EXPECT_EQ(ours, (std::vector<std::string>{"CHILD_PROCESS_TEST_ADDED=a b;$c", "CHILD_PROCESS_TEST_KEPT=ours",
                                              "CHILD_PROCESS_TEST_REPLACED=theirs"}));
    fs::remove_all(dir);
}

TEST(ChildProcess, MissingProgramIsAnError)
{
    std::string error;
    EXPECT_EQ(StartChild("/nonexistent/program", {"program"}, ChildSetup{}, error), -1);
    EXPECT_NE(error.find("/nonexistent/program"), std::string::npos);
}

TEST(ChildProcess, DetachedGrandchildHasCleanSignalStateAndRunsInItsDirectory)
{
    const HostileSignals hostile;
    const fs::path dir = Scratch();
    std::string error;
    ASSERT_TRUE(StartDetached("/bin/cp", {"cp", "/proc/self/status", "status"}, dir, 5, error)) << error;
    const fs::path out = dir / "status";
    for (int i = 0; i < 500 && StatusLine(out, "SigIgn") == "missing"; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ExpectCleanSignalState(out);
    fs::remove_all(dir);
}

}  // namespace
}  // namespace tessel
