#include "process_converter_launcher.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sys/wait.h>
#include <thread>

#include "child_process.h"
#include "program_lookup.h"

namespace tessel {
namespace {

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

ProcessConverterLauncher::ProcessConverterLauncher(std::string program) : program_(std::move(program)) {}

void ProcessConverterLauncher::Start(const std::string& parameters)
{
    ReapFinished();
    const auto path = FindProgram(program_, ExecutableDirectory(), PathVariable());
    if (!path) {
        std::fprintf(stderr, "tessel: cannot start %s: not found beside tessel or on PATH\n", program_.c_str());
        return;
    }
    std::vector<std::string> words = SplitParameters(parameters);
    words.insert(words.begin(), program_);
    std::string error;
    const pid_t pid = StartChild(*path, words, ChildSetup{}, error);
    if (pid < 0) {
        std::fprintf(stderr, "tessel: %s\n", error.c_str());
        return;
    }
    running_.push_back(pid);
}

std::size_t ProcessConverterLauncher::RunningCount()
{
    ReapFinished();
    return running_.size();
}

bool ProcessConverterLauncher::WaitForAll(std::chrono::milliseconds limit)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (RunningCount() != 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return true;
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
