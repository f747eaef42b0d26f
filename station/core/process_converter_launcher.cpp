#include "process_converter_launcher.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

extern char** environ;

namespace tessel {
namespace {

bool IsExecutableFile(const std::string& path)
{
    std::error_code error;
    return std::filesystem::is_regular_file(path, error) && access(path.c_str(), X_OK) == 0;
}

std::string JoinPath(const std::string& dir, const std::string& name)
{
    if (dir.empty()) {
        return name;
    }
    return dir.back() == '/' ? dir + name : dir + "/" + name;
}

std::string ExecutableDir()
{
    std::error_code error;
    const auto exe = std::filesystem::read_symlink("/proc/self/exe", error);
    return error ? std::string() : exe.parent_path().string();
}

std::string PathVariable()
{
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "";
}

}  // namespace

std::vector<std::string> SplitParameters(const std::string& parameters)
{
    std::vector<std::string> words;
    const char* blanks = " \t";
    auto begin = parameters.find_first_not_of(blanks);
    while (begin != std::string::npos) {
        const auto end = parameters.find_first_of(blanks, begin);
        words.push_back(parameters.substr(begin, end - begin));
        begin = parameters.find_first_not_of(blanks, end);
    }
    return words;
}

std::optional<std::string> FindProgram(const std::string& name, const std::string& executableDir,
                                       const std::string& pathVariable)
{
    if (!executableDir.empty() && IsExecutableFile(JoinPath(executableDir, name))) {
        return JoinPath(executableDir, name);
    }
    std::size_t begin = 0;
    while (begin <= pathVariable.size()) {
        const auto end = std::min(pathVariable.find(':', begin), pathVariable.size());
        const std::string dir = pathVariable.substr(begin, end - begin);
        const std::string candidate = dir.empty() ? "./" + name : JoinPath(dir, name);
        if (IsExecutableFile(candidate)) {
            return candidate;
        }
        begin = end + 1;
    }
    return std::nullopt;
}

ProcessConverterLauncher::ProcessConverterLauncher(std::string program) : program_(std::move(program)) {}

void ProcessConverterLauncher::Start(const std::string& parameters)
{
    ReapFinished();
    const auto path = FindProgram(program_, ExecutableDir(), PathVariable());
    if (!path) {
        std::fprintf(stderr, "tessel: cannot start %s: not found beside tessel or on PATH\n", program_.c_str());
        return;
    }
    std::vector<std::string> words = SplitParameters(parameters);
    words.insert(words.begin(), program_);
    std::vector<char*> argv;
    for (auto& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    pid_t pid = 0;
    const int error = posix_spawn(&pid, path->c_str(), nullptr, nullptr, argv.data(), environ);
    if (error != 0) {
        std::fprintf(stderr, "tessel: cannot start %s: %s\n", path->c_str(), std::strerror(error));
        return;
    }
    running_.push_back(pid);
}

std::size_t ProcessConverterLauncher::RunningCount()
{
    ReapFinished();
    return running_.size();
}

void ProcessConverterLauncher::ReapFinished()
{
    std::erase_if(running_, [](pid_t pid) {
        int status = 0;
        const pid_t result = waitpid(pid, &status, WNOHANG);
        return result == pid || (result < 0 && errno == ECHILD);
    });
}

}  // namespace tessel
