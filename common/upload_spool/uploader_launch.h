// Starting the uploader tessel-upload without waiting for it, and the lock that keeps a single
// uploader per web directory.
#pragma once

#include <optional>
#include <string>

#include "file_descriptor.h"
#include "web_directory.h"

namespace tessel {

// An exclusive hold on upload.lock in the web directory, released when destroyed (or when the
// holding process dies, however it dies).
class UploaderLock {
public:
    // The lock, or nothing when another process holds it. Throws FileError when the lock file
    // cannot be opened.
    static std::optional<UploaderLock> TryAcquire(const WebDirectory& web);

private:
    explicit UploaderLock(FileDescriptor descriptor) : descriptor_(std::move(descriptor)) {}
    FileDescriptor descriptor_;
};

// Starts tessel-upload (beside the running program, else on PATH) for the web directory in a new
// session, detached from this process's terminal and output, unless an uploader holds the lock.
// Returns false with `error` set when it could not be started.
bool StartUploaderUnlessRunning(const WebDirectory& web, std::string& error);

}  // namespace tessel
