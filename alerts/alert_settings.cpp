#include "alert_settings.h"

#include <unistd.h>

#include <charconv>

#include "webhook_url.h"

namespace tessel::alerts {
namespace {

constexpr uint32_t kMostFailures = 1000;

}  // namespace

std::string ParseAlertAfter(std::string_view value, AlertSettings& settings)
{
    uint32_t parsed = 0;
    const auto [end, error] = std::from_chars(value.data(), value.data() + value.size(), parsed);
    if (value.empty() || error != std::errc{} || end != value.data() + value.size() || parsed < 1 ||
        parsed > kMostFailures) {
        return "'" + std::string(value) + "' is not a whole number of failed steps from 1 to " +
               std::to_string(kMostFailures);
    }
    settings.alertAfter = parsed;
    return {};
}

std::string ParseAlertCommand(std::string_view value, AlertSettings& settings)
{
    const std::filesystem::path program(value);
    const std::string quoted = "'" + std::string(value) + "'";
    if (value.empty() || !program.is_absolute()) {
        return quoted + " is not an absolute path of a program";
    }
    std::error_code error;
    const auto status = std::filesystem::status(program, error);
    if (status.type() == std::filesystem::file_type::not_found) {
        return quoted + " does not exist";
    }
    if (status.type() != std::filesystem::file_type::regular) {
        return quoted + " is not a regular file";
    }
    if (access(program.c_str(), X_OK) != 0) {
        return quoted + " is not executable";
    }
    // Any local account could make the station run its code.
    if ((status.permissions() & std::filesystem::perms::others_write) != std::filesystem::perms::none) {
        return quoted + " is writable by every user";
    }
    settings.command = program;
    return {};
}

std::string ParseAlertUrl(std::string_view value, AlertSettings& settings)
{
    if (!WebhookOrigin(value)) {
        return "not an http:// or https:// URL with a host";
    }
    settings.url = value;
    return {};
}

}  // namespace tessel::alerts
