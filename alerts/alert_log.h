// Where alert deliveries report to: the station's log, one line per call. Calls come from the
// delivery threads as well as the caller's, so the sink must be safe to call from any thread
// (one write per line is enough), and must not throw.
#pragma once

#include <functional>
#include <string>

namespace tessel::alerts {

enum class AlertLogLevel { Info, Warning };

using AlertLog = std::function<void(AlertLogLevel level, const std::string& line)>;

}  // namespace tessel::alerts
