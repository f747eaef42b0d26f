// Common ground of the driver tests: the records laid out as the station holds them, the
// emulator started on a mapped COM port, short timeouts, and a test scene whose native picture
// the tests can compute themselves.
#pragma once

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "dc25v20.h"
#include "emulator_process.h"
#include "station_records.h"
#include "rawformat/mosaic_encoder.h"

namespace dc2x::testing {

// A picture with distinct colours in every region, so that misplaced bytes show.
rawformat::RgbImage TestScene();
// What the emulator serves for the test scene at `resolution`.
std::vector<uint8_t> ExpectedPicture(rawformat::Resolution resolution);

class DriverTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Starts the emulator with the test scene, short snap and erase times and `arguments`,
    // and maps COM`port` to it (the other COM ports to devices that do not exist).
    EmulatorProcess& StartEmulator(const std::vector<std::string>& arguments, int port = 1);
    // Maps COM1..COM4 to `devices` (empty: a device that does not exist).
    static void MapPorts(const std::vector<std::string>& devices);

    // Records owned by the test; whatever a failing test leaves open is closed in TearDown.
    StationRecords& Records(int32_t port = 1, int32_t model = kDc25Code, int32_t speed = 1152);
    // OpenDriver and OpenCamera, expecting success.
    void OpenCamera(StationRecords& r);
    // TakePicture and GetNativePicture into `buffer` (sized as the library asks when empty).
    int16_t TakeAndDownload(StationRecords& r, std::vector<uint8_t>& buffer);
    // The native picture: the buffer's last byteCount bytes.
    static std::vector<uint8_t> NativePicture(const StationRecords& r, const std::vector<uint8_t>& buffer);

    std::unique_ptr<EmulatorProcess> emulator_;
    std::vector<std::unique_ptr<StationRecords>> records_;
    std::string scenePath_;
};

}  // namespace dc2x::testing
