// Which device a port number means. COM1..COM4 are DC25_COM1..DC25_COM4 from the environment
// when set, else /dev/ttyS0../dev/ttyS3. Auto tries those four, then every /dev/ttyUSB* and
// /dev/ttyACM* that exists.
#pragma once

#include <string>
#include <vector>

namespace dc25 {

inline constexpr int kAutoPort = 0;
inline constexpr int kLastPort = 4;

// Device of COM`port` (1..4).
std::string DeviceOfPort(int port);

// Devices to try for Auto, in order.
std::vector<std::string> AutoPortCandidates();

}  // namespace dc25
