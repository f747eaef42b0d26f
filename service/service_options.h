// tesseld's command line: --config FILE, --once, -v, --help, --version.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace tessel::service {

inline constexpr const char* kDefaultConfigFile = "/etc/tessel/tessel.conf";

struct ServiceOptions {
    std::filesystem::path configFile = kDefaultConfigFile;
    bool once = false;
    bool verbose = false;
    bool help = false;
    bool version = false;
};

// The options, or nothing with `error` set for a usage error.
std::optional<ServiceOptions> ParseServiceOptions(int argc, const char* const* argv, std::string& error);

extern const char* const kServiceUsage;

}  // namespace tessel::service
