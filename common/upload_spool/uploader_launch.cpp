#include "uploader_launch.h"

#include <cstdlib>
#include <sys/file.h>

#include "child_process.h"
#include "program_lookup.h"
#include "upload_spool.h"

namespace tessel {
namespace {

constexpr const char* kUploaderProgram = "tessel-upload";

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
    // Detached and adopted by init, so that no pipe of ours is held open by it.
    return StartDetached(*program, {*program, absolute.string()}, {}, 0, error);
}

}  // namespace tessel
