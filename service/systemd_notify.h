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

// systemd's WatchdogSec for this process: WATCHDOG=1 must come more often than that. Nothing when
// systemd does not watch it.
std::optional<std::chrono::microseconds> WatchdogTimeout();

}  // namespace tessel::service
