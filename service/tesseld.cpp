// tesseld: the web camera station without a window, for a machine without a desktop.
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

#include "service_log.h"
#include "service_loop.h"
#include "service_options.h"
#include "service_station.h"

int main(int argc, char** argv)
{
    // Before anything else: a TERM that arrives during start-up must wait for the loop.
    tessel::service::ServiceLoop::BlockSignals();
    std::string error;
    const auto options = tessel::service::ParseServiceOptions(argc, argv, error);
    if (!options) {
        std::fprintf(stderr, "tesseld: %s\n%s", error.c_str(), tessel::service::kServiceUsage);
        return tessel::service::kExitUsage;
    }
    if (options->help) {
        std::fputs(tessel::service::kServiceUsage, stdout);
        return tessel::service::kExitSuccess;
    }
    if (options->version) {
        std::puts("tesseld " TESSEL_VERSION);
        return tessel::service::kExitSuccess;
    }
    if (options->verbose) {
        setenv("DC25_TRACE", "1", 1);
    }
    tessel::service::ServiceLog log(tessel::service::StartedBySystemd());
    try {
        return tessel::service::RunService(*options, log);
    } catch (const std::exception& failure) {
        log.Error(std::string("tesseld: ") + failure.what());
        return tessel::service::kExitFailure;
    }
}
