#include "systemd_notify.h"

#include <systemd/sd-daemon.h>

#include <algorithm>

namespace tessel::service {

void NotifyReady()
{
    sd_notify(0, "READY=1");
}

void NotifyStatus(const std::string& line)
{
    // A line break would start another assignment in the message.
    std::string text = "STATUS=" + line;
    std::replace(text.begin(), text.end(), '\n', ' ');
    sd_notify(0, text.c_str());
}

void NotifyWatchdog()
{
    sd_notify(0, "WATCHDOG=1");
}

void NotifyStopping()
{
    sd_notify(0, "STOPPING=1");
}

std::optional<std::chrono::microseconds> WatchdogTimeout()
{
    uint64_t microseconds = 0;
    if (sd_watchdog_enabled(0, &microseconds) <= 0 || microseconds == 0) {
        return std::nullopt;
    }
    return std::chrono::microseconds(microseconds);
}

}  // namespace tessel::service
