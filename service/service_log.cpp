#include "service_log.h"

#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string>

namespace tessel::service {
namespace {

constexpr int kError = 3;
constexpr int kWarning = 4;
constexpr int kInfo = 6;

bool Set(const char* variable)
{
    const char* value = std::getenv(variable);
    return value != nullptr && *value != '\0';
}

std::string LocalTimeNow()
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

}  // namespace

bool StartedBySystemd()
{
    return Set("JOURNAL_STREAM") || Set("NOTIFY_SOCKET");
}

ServiceLog::ServiceLog(bool systemd) : systemd_(systemd) {}

void ServiceLog::Info(std::string_view text)
{
    Line(kInfo, text);
}

void ServiceLog::Warning(std::string_view text)
{
    Line(kWarning, text);
}

void ServiceLog::Error(std::string_view text)
{
    Line(kError, text);
}

void ServiceLog::Line(int priority, std::string_view text)
{
    std::string line = systemd_ ? "<" + std::to_string(priority) + ">" : LocalTimeNow() + " ";
    line.append(text);
    line += '\n';
    // One write per line, flushed at once, so that lines of a crash or a kill are not lost.
    std::FILE* stream = priority <= kError ? stderr : stdout;
    std::fwrite(line.data(), 1, line.size(), stream);
    std::fflush(stream);
}

}  // namespace tessel::service
