#include "daily_launch.h"

#include <cerrno>

#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program_lookup.h"

extern char** environ;

namespace pictrex {
namespace {

// Encoding a day's video is background work: it must not slow the next capture.
constexpr int kBuilderNiceness = 10;

}  // namespace

std::string StartDailyBuilder(const std::filesystem::path& programDirectory, const std::string& searchPath,
                              const std::filesystem::path& webDirectory, const std::string& day) {
    const auto program = tessel::FindProgram("tessel-daily", programDirectory.string(), searchPath);
    if (!program) return "tessel-daily not found beside pictrex or on PATH; day " + day + " not built";
    // Everything the children use is prepared before fork: between fork and exec only
    // async-signal-safe calls are made.
    const std::string directory = webDirectory.string();
    char* const arguments[] = {const_cast<char*>(program->c_str()), const_cast<char*>(day.c_str()), nullptr};
    const pid_t child = ::fork();
    if (child < 0) return "cannot start tessel-daily " + day;
    if (child == 0) {
        // The child starts the builder as a grandchild and ends at once, so the builder belongs to
        // init and never stays a zombie of a long-lived caller.
        ::setsid();
        if (::fork() != 0) ::_exit(0);
        const int nothing = ::open("/dev/null", O_RDWR);
        if (nothing >= 0) {
            ::dup2(nothing, STDIN_FILENO);
            ::dup2(nothing, STDOUT_FILENO);
            ::dup2(nothing, STDERR_FILENO);
        }
        ::setpriority(PRIO_PROCESS, 0, kBuilderNiceness);
        if (::chdir(directory.c_str()) == 0) ::execve(arguments[0], arguments, environ);
        ::_exit(127);
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return "tessel-daily " + day + " started";
}

}  // namespace pictrex
