#include "station_lock.h"

#include <sys/file.h>

#include <cerrno>
#include <cstring>

#include "file_error.h"
#include "web_directory.h"

namespace tessel {

StationLock StationLock::Acquire(const WebDirectory& directory)
{
    FileDescriptor file = directory.OpenForWriting(kStationLockFileName, WriteMode::CreateOrAppend, 0644);
    while (flock(file.get(), LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        if (error == EINTR) {
            continue;
        }
        const std::string where = (directory.path() / kStationLockFileName).string();
        if (error == EWOULDBLOCK) {
            throw StationBusy("another station is already running on the web directory " +
                              directory.path().string() + " (it holds " + where + ")");
        }
        throw FileError("cannot lock " + where + ": " + std::strerror(error));
    }
    return StationLock(std::move(file));
}

}  // namespace tessel
