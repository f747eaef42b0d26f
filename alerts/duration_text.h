// A duration as the log shows it: "30 s", "0.3 s", "600 s" (seconds, to six digits).
#pragma once

#include <chrono>
#include <string>

namespace tessel::alerts {

std::string DurationText(std::chrono::steady_clock::duration duration);

}  // namespace tessel::alerts
