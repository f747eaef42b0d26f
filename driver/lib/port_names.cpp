#include "port_names.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>

namespace dc25 {

std::string DeviceOfPort(int port) {
    const std::string variable = "DC25_COM" + std::to_string(port);
    if (const char* mapped = std::getenv(variable.c_str()); mapped != nullptr && *mapped != '\0') {
        return mapped;
    }
    return "/dev/ttyS" + std::to_string(port - 1);
}

std::vector<std::string> AutoPortCandidates() {
    std::vector<std::string> devices;
    for (int port = 1; port <= kLastPort; ++port) devices.push_back(DeviceOfPort(port));

    for (const char* prefix : {"ttyUSB", "ttyACM"}) {
        std::vector<std::string> adapters;
        std::error_code ignored;
        for (const auto& entry : std::filesystem::directory_iterator("/dev", ignored)) {
            if (entry.path().filename().string().starts_with(prefix)) adapters.push_back(entry.path().string());
        }
        std::sort(adapters.begin(), adapters.end());
        for (const std::string& a : adapters) {
            if (std::find(devices.begin(), devices.end(), a) == devices.end()) devices.push_back(a);
        }
    }
    return devices;
}

}  // namespace dc25
