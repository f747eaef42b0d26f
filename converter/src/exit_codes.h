// The converter's exit statuses.
#pragma once

namespace pictrex {

enum ExitCode : int {
    kSuccess = 0,
    kUsage = 2,          // the arguments are not "<stamp> ARCHIVE|NOARCHIVE [off]"
    kBadPicture = 3,     // image<stamp>.dc2 is missing, unreadable or not a native picture
    kWriteFailed = 4,    // the web image, the archive picture or the lock could not be written
    kIndexFailed = 5,    // pictures written, but archive/index.html could not be rebuilt
    kOutOfMemory = 6,    // memory ran out; nothing half-written is published
};

}  // namespace pictrex
