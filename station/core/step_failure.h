// How a failed step of a capture cycle is told: the status line gets one of the station's own
// texts for the step (status_texts.h), and the reason says why, for the log and the health file.
#pragma once

#include <string>

namespace tessel {

struct StepFailure {
    // Appended to the status line, or put in its place with `replacesStatus`.
    std::string status;
    // Why the step failed, in a few words: "timeout after 10 s", "HTTP 401", "grey frame". It
    // never holds a secret (no password, no user name and password of a URL).
    std::string reason;
    bool replacesStatus = false;
};

// Hears of the failed steps of a capture cycle, in the order they fail.
class FailureReport {
public:
    virtual void Failed(const StepFailure& failure) = 0;

protected:
    ~FailureReport() = default;
};

}  // namespace tessel
