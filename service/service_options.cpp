#include "service_options.h"

#include <string_view>

namespace tessel::service {

const char* const kServiceUsage =
    "usage: tesseld [--config FILE] [--once] [-v]\n"
    "Runs the web camera station without a window: a picture every refresh interval.\n"
    "  --config FILE  settings file (default /etc/tessel/tessel.conf)\n"
    "  --once         take one picture, print its status line, exit 0 on success and 1 otherwise\n"
    "  -v, --verbose  add the camera driver's trace to the log\n"
    "  --help         show this text\n"
    "  --version      show the version\n"
    "Signals: TERM/INT stop after the current cycle, HUP rereads the settings, USR1 takes a picture now.\n";

std::optional<ServiceOptions> ParseServiceOptions(int argc, const char* const* argv, std::string& error)
{
    ServiceOptions options;
    for (int i = 1; i < argc; ++i) {
        const std::string_view word = argv[i];
        if (word == "--config") {
            if (i + 1 >= argc) {
                error = "--config needs a file name";
                return std::nullopt;
            }
            options.configFile = argv[++i];
        } else if (word.starts_with("--config=")) {
            options.configFile = std::string(word.substr(9));
        } else if (word == "--once") {
            options.once = true;
        } else if (word == "-v" || word == "--verbose") {
            options.verbose = true;
        } else if (word == "--help" || word == "-h") {
            options.help = true;
        } else if (word == "--version") {
            options.version = true;
        } else {
            error = "unknown option '" + std::string(word) + "'";
            return std::nullopt;
        }
    }
    if (options.configFile.empty()) {
        error = "--config needs a file name";
        return std::nullopt;
    }
    return options;
}

}  // namespace tessel::service
