#include "timeouts.h"

#include <cstdlib>
#include <string>

namespace dc25 {

namespace {

Timeouts::Ms Scale(Timeouts::Ms d, double factor) {
    return Timeouts::Ms(static_cast<Timeouts::Ms::rep>(static_cast<double>(d.count()) * factor));
}

// Only shortening is allowed: anything unparsable, non-positive or above 1 keeps the defaults.
double ScaleFromEnvironment() {
    const char* text = std::getenv("DC25_TIMEOUT_SCALE");
    if (text == nullptr) return 1.0;
    try {
        std::size_t used = 0;
        const double factor = std::stod(text, &used);
        if (used == std::string(text).size() && factor > 0.0 && factor <= 1.0) return factor;
    } catch (const std::exception&) {
    }
    return 1.0;
}

}  // namespace

Timeouts Timeouts::Scaled(double factor) const {
    Timeouts t = *this;
    t.probeReply = Scale(probeReply, factor);
    t.reply = Scale(reply, factor);
    t.slowAction = Scale(slowAction, factor);
    t.blockSilence = Scale(blockSilence, factor);
    t.dc25SnapPause = Scale(dc25SnapPause, factor);
    t.autoPortBudget = Scale(autoPortBudget, factor);
    return t;
}

Timeouts Timeouts::FromEnvironment() { return Timeouts{}.Scaled(ScaleFromEnvironment()); }

}  // namespace dc25
