#include "tesseld_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstring>
#include <stdexcept>

extern char** environ;

namespace tessel::service::testing {
namespace {

std::vector<std::string> ChangedEnvironment(const std::map<std::string, std::optional<std::string>>& changes)
{
    std::vector<std::string> result;
    for (char** entry = environ; *entry != nullptr; ++entry) {
        const std::string text = *entry;
        const std::string name = text.substr(0, text.find('='));
        if (changes.find(name) == changes.end()) {
            result.push_back(text);
        }
    }
    for (const auto& [name, value] : changes) {
        if (value) {
            result.push_back(name + "=" + *value);
        }
    }
    return result;
}

std::vector<char*> Pointers(std::vector<std::string>& words)
{
    std::vector<char*> pointers;
    for (auto& word : words) {
        pointers.push_back(word.data());
    }
    pointers.push_back(nullptr);
    return pointers;
}

}  // namespace

TesseldProcess::TesseldProcess(const std::string& program, const std::vector<std::string>& arguments,
                               const std::map<std::string, std::optional<std::string>>& environment,
                               const std::filesystem::path& logFile)
{
    std::vector<std::string> words{program};
    words.insert(words.end(), arguments.begin(), arguments.end());
    std::vector<std::string> variables = ChangedEnvironment(environment);
    std::vector<char*> argv = Pointers(words);
    std::vector<char*> envp = Pointers(variables);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, logFile.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    posix_spawn_file_actions_adddup2(&actions, STDOUT_FILENO, STDERR_FILENO);
    const int error = posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    if (error != 0) {
        throw std::runtime_error("cannot start " + program + ": " + std::strerror(error));
    }
}

TesseldProcess::~TesseldProcess()
{
    if (Running()) {
        kill(pid_, SIGKILL);
        WaitForExit(std::chrono::seconds(10));
    }
}

void TesseldProcess::Signal(int signal) const
{
    kill(pid_, signal);
}

int TesseldProcess::WaitForExit(std::chrono::milliseconds limit)
{
    WaitUntil([this] { return !Running(); }, limit);
    return status_.value_or(-1);
}

bool TesseldProcess::Running()
{
    if (status_) {
        return false;
    }
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) != pid_) {
        return true;
    }
    status_ = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    return false;
}

NotifySocket::NotifySocket(std::filesystem::path path) : path_(std::move(path))
{
    descriptor_ = socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (descriptor_ < 0 || path_.string().size() >= sizeof address.sun_path) {
        throw std::runtime_error("cannot make a notification socket at " + path_.string());
    }
    std::strcpy(address.sun_path, path_.c_str());
    if (bind(descriptor_, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        throw std::runtime_error("cannot bind " + path_.string() + ": " + std::strerror(errno));
    }
}

NotifySocket::~NotifySocket()
{
    close(descriptor_);
    std::filesystem::remove(path_);
}

std::size_t NotifySocket::Count(const std::string& text) const
{
    return static_cast<std::size_t>(std::count_if(messages.begin(), messages.end(), [&text](const std::string& message) {
        return message.find(text) != std::string::npos;
    }));
}

bool NotifySocket::WaitForCount(const std::string& text, std::size_t count, std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (Count(text) < count) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) {
            return false;
        }
        pollfd watched{descriptor_, POLLIN, 0};
        if (poll(&watched, 1, static_cast<int>(left.count())) <= 0) {
            continue;
        }
        char buffer[4096];
        const ssize_t size = recv(descriptor_, buffer, sizeof buffer, 0);
        if (size <= 0) {
            continue;
        }
        messages.emplace_back(buffer, static_cast<std::size_t>(size));
    }
    return true;
}

}  // namespace tessel::service::testing
