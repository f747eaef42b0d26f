#include "child_process.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <string_view>

extern char** environ;

namespace tessel {
namespace {

// The spawn attributes: empty signal mask, default disposition for every signal that has one to
// restore (SIGKILL and SIGSTOP cannot be caught or ignored), optionally a new process group.
class SpawnAttributes {
public:
    explicit SpawnAttributes(bool ownProcessGroup)
    {
        posix_spawnattr_init(&attributes_);
        sigset_t none;
        sigemptyset(&none);
        sigset_t all;
        sigfillset(&all);
        sigdelset(&all, SIGKILL);
        sigdelset(&all, SIGSTOP);
        short flags = POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF;
        posix_spawnattr_setsigmask(&attributes_, &none);
        posix_spawnattr_setsigdefault(&attributes_, &all);
        if (ownProcessGroup) {
            flags |= POSIX_SPAWN_SETPGROUP;
            posix_spawnattr_setpgroup(&attributes_, 0);
        }
        posix_spawnattr_setflags(&attributes_, flags);
    }
    SpawnAttributes(const SpawnAttributes&) = delete;
    SpawnAttributes& operator=(const SpawnAttributes&) = delete;
    ~SpawnAttributes() { posix_spawnattr_destroy(&attributes_); }
    const posix_spawnattr_t* get() const { return &attributes_; }

private:
    posix_spawnattr_t attributes_;
};

class SpawnActions {
public:
    explicit SpawnActions(const ChildSetup& setup)
    {
        posix_spawn_file_actions_init(&actions_);
        bool given[3] = {false, false, false};
        for (const auto& [ours, theirs] : setup.descriptors) {
            posix_spawn_file_actions_adddup2(&actions_, ours, theirs);
            if (theirs >= 0 && theirs <= 2) given[theirs] = true;
        }
        if (setup.quiet) {
            for (int standard = 0; standard <= 2; ++standard) {
                if (!given[standard]) {
                    posix_spawn_file_actions_addopen(&actions_, standard, "/dev/null", O_RDWR, 0);
                }
            }
        }
        posix_spawn_file_actions_addclosefrom_np(&actions_, HighestGiven(setup) + 1);
        if (!setup.directory.empty()) {
            posix_spawn_file_actions_addchdir_np(&actions_, setup.directory.c_str());
        }
    }
    SpawnActions(const SpawnActions&) = delete;
    SpawnActions& operator=(const SpawnActions&) = delete;
    ~SpawnActions() { posix_spawn_file_actions_destroy(&actions_); }
    const posix_spawn_file_actions_t* get() const { return &actions_; }

private:
    static int HighestGiven(const ChildSetup& setup)
    {
        int highest = 2;
        for (const auto& entry : setup.descriptors) highest = std::max(highest, entry.second);
        return highest;
    }
    posix_spawn_file_actions_t actions_;
};

std::vector<char*> ArgumentVector(const std::vector<std::string>& arguments)
{
    std::vector<char*> vector;
    vector.reserve(arguments.size() + 1);
    for (const std::string& argument : arguments) vector.push_back(const_cast<char*>(argument.c_str()));
    vector.push_back(nullptr);
    return vector;
}

bool Replaced(std::string_view entry, const std::vector<std::string>& additions)
{
    const std::string_view name = entry.substr(0, entry.find('=') + 1);
    return std::ranges::any_of(additions, [name](const std::string& addition) { return addition.starts_with(name); });
}

// Our environment with `additions` put on top of it; the entries point into environ and `additions`.
std::vector<char*> EnvironmentVector(const std::vector<std::string>& additions)
{
    std::vector<char*> vector;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        if (!Replaced(*entry, additions)) vector.push_back(*entry);
    }
    for (const std::string& addition : additions) vector.push_back(const_cast<char*>(addition.c_str()));
    vector.push_back(nullptr);
    return vector;
}

}  // namespace

pid_t StartChild(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                 const ChildSetup& setup, std::string& error)
{
    const SpawnAttributes attributes(setup.ownProcessGroup);
    const SpawnActions actions(setup);
    const std::vector<char*> argv = ArgumentVector(arguments);
    const std::vector<char*> envp = EnvironmentVector(setup.environment);
    pid_t child = -1;
    const int failed = posix_spawn(&child, program.c_str(), actions.get(), attributes.get(), argv.data(), envp.data());
    if (failed != 0) {
        error = "cannot start " + program.string() + ": " + std::strerror(failed);
        return -1;
    }
    return child;
}

bool StartDetached(const std::filesystem::path& program, const std::vector<std::string>& arguments,
                   const std::filesystem::path& directory, int niceness, std::string& error)
{
    // Everything the grandchild needs is prepared before fork.
    ChildSetup setup;
    setup.directory = directory;
    setup.quiet = true;
    const SpawnAttributes attributes(false);
    const SpawnActions actions(setup);
    const std::vector<char*> argv = ArgumentVector(arguments);
    const pid_t child = fork();
    if (child < 0) {
        error = "cannot start " + program.string() + ": " + std::strerror(errno);
        return false;
    }
    if (child == 0) {
        setsid();
        if (niceness != 0) setpriority(PRIO_PROCESS, 0, niceness);
        pid_t grandchild = -1;
        const int failed = posix_spawn(&grandchild, program.c_str(), actions.get(), attributes.get(), argv.data(), environ);
        _exit(failed == 0 ? 0 : 127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        error = "cannot start " + program.string();
        return false;
    }
    return true;
}

}  // namespace tessel
