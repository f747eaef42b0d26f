// Serialising the runs that change one web directory's shared files.
#pragma once

#include <string_view>

#include "web_directory.h"

namespace archive {

// The lock file the converter and the day builder hold while they change the published picture's
// record, the archive and its lists.
inline constexpr const char* kLockName = "pictrex.lock";

// An exclusive lock on a lock file in the web directory, held until destruction; waits while
// another run holds it. The lock file is opened without following a link, so a link planted in
// its place is refused instead of creating or touching its target.
class DirectoryLock {
public:
    DirectoryLock(const tessel::WebDirectory& directory, std::string_view name);  // throws tessel::FileError

private:
    tessel::FileDescriptor descriptor_;
};

}  // namespace archive
