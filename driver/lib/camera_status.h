// What a status reply says, read with the layout of the model that sent it.
#pragma once

#include <cstdint>
#include <span>

#include "dc2x/protocol.h"

namespace dc25 {

struct CameraStatus {
    dc2x::Model model = dc2x::Model::Dc25;
    bool modelKnown = false;    // the reply named one of the two models
    int pictures = 0;           // pictures held
    int resolution = 0;         // current resolution: 0 high, 1 low
    int freeAtResolution = 0;   // room for this many more pictures at the current resolution
    bool lowBattery = false;
};

// Reads a 256-byte status reply. A reply naming neither model is read with `assumed`'s layout.
CameraStatus ParseStatus(std::span<const uint8_t> reply, dc2x::Model assumed);

}  // namespace dc25
