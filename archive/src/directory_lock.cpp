#include "archive/directory_lock.h"

#include <cerrno>
#include <cstring>
#include <string>

#include <sys/file.h>

namespace archive {

DirectoryLock::DirectoryLock(const tessel::WebDirectory& directory, std::string_view name)
    : descriptor_(directory.OpenForWriting(name, tessel::WriteMode::CreateOrAppend)) {
    while (::flock(descriptor_.get(), LOCK_EX) != 0) {
        if (errno != EINTR) {
            throw tessel::FileError("cannot lock " + (directory.path() / name).string() + ": " + std::strerror(errno));
        }
    }
}

}  // namespace archive
