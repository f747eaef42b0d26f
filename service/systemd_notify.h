// The service's messages to systemd through libsystemd's sd_notify. Without NOTIFY_SOCKET (not
// started by systemd as Type=notify) they do nothing.
#pragma once

#include <chrono>
#include <optional>
#include <string>

namespace tessel::service {

void NotifyReady();
// STATUS=: one line shown by `systemctl status`.
void NotifyStatus(const std::string& line);
void NotifyWatchdog();
void NotifyStopping();

// How often to send WATCHDOG=1 when systemd watches this process (half its WatchdogSec).
std::optional<std::chrono::microseconds> WatchdogInterval();

}  // namespace tessel::service
