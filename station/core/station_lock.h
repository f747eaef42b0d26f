// One station per web directory: two would overwrite each other's pictures, caption and health
// file. The lock is an exclusive flock on station.lock in the web directory, held as long as the
// StationLock lives (the process's life); the kernel drops it when the process ends in any way.
#pragma once

#include <stdexcept>

#include "file_descriptor.h"

namespace tessel {

class WebDirectory;

inline constexpr const char* kStationLockFileName = "station.lock";

// Another station holds the lock; what() says so, naming the directory.
struct StationBusy : std::runtime_error {
    using std::runtime_error::runtime_error;
};

class StationLock {
public:
    // Takes the lock without waiting. Throws StationBusy when another process holds it and
    // FileError when the lock file cannot be opened.
    static StationLock Acquire(const WebDirectory& directory);

private:
    explicit StationLock(FileDescriptor file) : file_(std::move(file)) {}
    FileDescriptor file_;
};

}  // namespace tessel
