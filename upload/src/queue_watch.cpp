#include "queue_watch.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cmath>
#include <thread>

#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include "upload_file_names.h"

namespace tessel {
namespace {

constexpr double kFallbackSeconds = 1;

}  // namespace

QueueWatch::QueueWatch(const WebDirectory& web, const std::vector<std::string>& targets)
    : notifications_(::inotify_init1(IN_NONBLOCK | IN_CLOEXEC)) {
    if (!notifications_.valid()) return;
    try {
        const WebDirectory spool = web.Subdirectory(kUploadSpoolName, DirectoryLinks::Refuse, true);
        for (const auto& target : targets) {
            const WebDirectory folder = spool.Subdirectory(target, DirectoryLinks::Refuse, true);
            // Watched through the open folder, so that a link planted under its name meanwhile is not followed.
            const std::string opened = "/proc/self/fd/" + std::to_string(folder.descriptor());
            if (::inotify_add_watch(notifications_.get(), opened.c_str(), IN_CREATE | IN_MOVED_TO | IN_ONLYDIR) < 0) {
                notifications_ = FileDescriptor();
                return;
            }
        }
    } catch (const FileError&) {
        notifications_ = FileDescriptor();
    }
}

void QueueWatch::Wait(double seconds) {
    if (!notifications_.valid()) {
        std::this_thread::sleep_for(std::chrono::duration<double>(std::min(seconds, kFallbackSeconds)));
        return;
    }
    pollfd watched{notifications_.get(), POLLIN, 0};
    const double milliseconds = std::clamp(seconds * 1000, 0.0, static_cast<double>(INT_MAX));
    if (::poll(&watched, 1, static_cast<int>(std::ceil(milliseconds))) <= 0) return;
    char events[4096];
    while (::read(notifications_.get(), events, sizeof events) > 0) {
        // Only that something happened matters; the queue is looked at again.
    }
}

}  // namespace tessel
