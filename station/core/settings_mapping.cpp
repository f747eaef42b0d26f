#include "settings_mapping.h"

namespace tessel {

int32_t SpeedCode(int32_t speedIndex)
{
    // The speeds 9600 * 2^k and 57600 * 2^k in units of 100 baud: 96 or 288 shifted left.
    if (speedIndex < 0 || speedIndex > 6) {
        return 0;
    }
    const int32_t base = (speedIndex + 2) / 3 + (speedIndex - 1) / 3;
    return (96 * base) << (speedIndex - base);
}

int32_t ModelCode(int32_t cameraIndex)
{
    return 102 + cameraIndex;
}

}  // namespace tessel
