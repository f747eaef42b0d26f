// How long the library waits for the camera. The defaults suit a real camera; the environment
// variable DC25_TIMEOUT_SCALE (a factor above 0 and at most 1) shortens every wait and pause
// alike, so that tests against the emulator run quickly through the very same code path.
#pragma once

#include <chrono>

namespace dc25 {

struct Timeouts {
    using Ms = std::chrono::milliseconds;

    Ms probeReply{1000};     // the set-speed reply, per speed tried while looking for the camera
    Ms reply{3000};          // a command's D1, and the 00 after quick commands
    Ms slowAction{15000};    // the 00 after a snap or an erase
    Ms blockSilence{3000};   // the longest silence before or inside a data block
    Ms dc25SnapPause{3000};  // a DC25 needs this long after the snap's D1 before we wait for 00
    Ms autoPortBudget{8000}; // Auto starts no new port after this long
    std::chrono::microseconds commandPause{10};  // before every command

    // The defaults, scaled by DC25_TIMEOUT_SCALE when it holds a factor in (0, 1].
    static Timeouts FromEnvironment();
    Timeouts Scaled(double factor) const;
};

}  // namespace dc25
