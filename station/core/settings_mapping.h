// How the window's list selections become driver parameters.
#pragma once

#include <cstdint>

namespace tessel {

// Line speed in baud / 100 for an entry of the speed list ("Auto", "9600", ... "230400");
// 0 (Auto) when nothing or no listed entry is selected.
int32_t SpeedCode(int32_t speedIndex);

// Camera model code for an entry of the camera list ("DC20" 102, "DC25" 103).
int32_t ModelCode(int32_t cameraIndex);

}  // namespace tessel
