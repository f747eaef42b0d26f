// The service's log on standard output and error, one line per event. Under systemd (detected by
// JOURNAL_STREAM or NOTIFY_SOCKET) every line starts with a syslog priority prefix that journald
// understands (<6> information, <4> warning, <3> error); on a terminal lines start with the local
// time instead.
#pragma once

#include <string_view>

namespace tessel::service {

// Whether the environment says that systemd started this process.
bool StartedBySystemd();

class ServiceLog {
public:
    explicit ServiceLog(bool systemd);

    // On standard output.
    void Info(std::string_view text);
    void Warning(std::string_view text);
    // On standard error.
    void Error(std::string_view text);

private:
    void Line(int priority, std::string_view text);

    bool systemd_;
};

}  // namespace tessel::service
