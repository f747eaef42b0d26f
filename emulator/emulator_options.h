// Command-line options of the camera emulator.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "dc2x/protocol.h"
#include "rawformat/raw_layout.h"

namespace dc2x {

struct EmulatorOptions {
    Model model = Model::Dc25;
    rawformat::Resolution resolution = rawformat::Resolution::High;
    int capacity = 0;  // room in high-resolution pictures; 0: the model's default
    int startBaud = kPowerUpBaud;
    std::string linkPath;
    std::string scenePath;
    bool pace = false;
    bool full = false;
    bool verbose = false;
    int snapMilliseconds = 1000;
    int eraseMilliseconds = 500;
    // Faults.
    int corruptBlock = 0;  // 1-based picture block to corrupt, 0: none
    int corruptTimes = 1;
    long stallAfter = -1;   // stop answering after this many picture bytes, -1: never
    long hangUpAfter = -1;  // hang up after this many picture bytes, -1: never
    std::vector<uint8_t> refused;  // command codes answered with E1

    int EffectiveCapacity() const;
};

// Parses argv; on a usage error returns nothing and fills `error`.
std::optional<EmulatorOptions> ParseEmulatorOptions(int argc, char** argv, std::string& error);

extern const char* const kEmulatorUsage;

}  // namespace dc2x
