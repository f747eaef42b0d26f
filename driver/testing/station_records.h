// The driver records laid out as the capture station holds them, for tests and benchmarks
// that call the library directly.
#pragma once

#include <cstdint>

#include "dc25v20.h"

namespace dc2x::testing {

inline constexpr int32_t kDc20Code = 102;
inline constexpr int32_t kDc25Code = 103;

// The driver records, pointing into each other like the station's.
struct StationRecords {
    DC25DriverOpenInfo openInfo{0x0200, {}};
    DC25DriverRecord driver{1, 1, 0, 0, 0};
    DC25CameraRecord camera{};
    DC25PictureInfo picture{};
    DC25PictureBuffer buffer{};
    uint32_t downloadWord = 0;

    StationRecords(int32_t port, int32_t model, int32_t speed) {
        camera = DC25CameraRecord{&driver, port, 1, openInfo.area, 0, model, speed};
    }
    StationRecords(const StationRecords&) = delete;
    StationRecords& operator=(const StationRecords&) = delete;
};

}  // namespace dc2x::testing
