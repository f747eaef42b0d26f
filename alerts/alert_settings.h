// The alert keys of tesseld's settings file:
//   alert_after    failed steps in a row before `failing` is sent, 1 … 1000 (default 3)
//   alert_command  absolute path of a program run for every alert (no shell, no arguments)
//   alert_url      http:// or https:// URL an alert is posted to as JSON
// Each parser returns "" when the value is taken, else the reason, to which the caller adds the
// file, line and key. A reason never repeats an alert_url value, which may hold a password.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

namespace tessel::alerts {

struct AlertSettings {
    uint32_t alertAfter = 3;
    std::filesystem::path command;  // empty: no alert command
    std::string url;                // empty: no webhook

    // Whether any alert is sent at all.
    bool AnyTarget() const { return !command.empty() || !url.empty(); }

    bool operator==(const AlertSettings&) const = default;
};

std::string ParseAlertAfter(std::string_view value, AlertSettings& settings);
// The program must exist now, be a regular file we may execute, and not be writable by everyone.
std::string ParseAlertCommand(std::string_view value, AlertSettings& settings);
std::string ParseAlertUrl(std::string_view value, AlertSettings& settings);

}  // namespace tessel::alerts
