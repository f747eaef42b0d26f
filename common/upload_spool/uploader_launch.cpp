#include "uploader_launch.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include "program_lookup.h"
#include "upload_spool.h"

namespace tessel {
namespace {

constexpr const char* kUploaderProgram = "tessel-upload";

// Runs `program webDirectory` as a grandchild in its own session with /dev/null for its standard
// files and no other inherited descriptor, so that no pipe of ours is held open and the process
// is adopted by init; waits only for the short-lived child in between.
bool SpawnDetached(const std::string& program, const std::string& webDirectory, std::string& error) {
    const char* const arguments[] = {program.c_str(), webDirectory.c_str(), nullptr};
    const pid_t child = fork();
    if (child < 0) {
        error = std::string("fork: ") + std::strerror(errno);
        return false;
    }
    if (child == 0) {
        setsid();
        if (fork() != 0) _exit(0);
        const int null = open("/dev/null", O_RDWR);
        if (null >= 0) {
            dup2(null, 0);
            dup2(null, 1);
            dup2(null, 2);
        }
        closefrom(3);
        execv(arguments[0], const_cast<char* const*>(arguments));
        _exit(127);
    }
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    return true;
}

}  // namespace

std::optional<UploaderLock> UploaderLock::TryAcquire(const WebDirectory& web) {
    FileDescriptor descriptor = web.OpenForWriting(kUploadLockName, WriteMode::CreateOrAppend, 0644);
    if (flock(descriptor.get(), LOCK_EX | LOCK_NB) != 0) return std::nullopt;
    return UploaderLock(std::move(descriptor));
}

bool StartUploaderUnlessRunning(const WebDirectory& web, std::string& error) {
    try {
        if (!UploaderLock::TryAcquire(web)) return true;  // the running uploader will see the new jobs
    } catch (const FileError& e) {
        error = e.what();
        return false;
    }
    const char* path = std::getenv("PATH");
    const auto program = FindProgram(kUploaderProgram, ExecutableDirectory(), path ? path : "");
    if (!program) {
        error = std::string(kUploaderProgram) + " not found beside this program or on PATH";
        return false;
    }
    std::error_code ignored;
    const std::filesystem::path absolute = std::filesystem::absolute(web.path(), ignored);
    return SpawnDetached(*program, absolute.string(), error);
}

}  // namespace tessel
