#include "daily_launch.h"

#include "child_process.h"
#include "program_lookup.h"

namespace pictrex {
namespace {

// Encoding a day's video is background work: it must not slow the next capture.
constexpr int kBuilderNiceness = 10;

}  // namespace

std::string StartDailyBuilder(const std::filesystem::path& programDirectory, const std::string& searchPath,
                              const std::filesystem::path& webDirectory, const std::string& day) {
    const auto program = tessel::FindProgram("tessel-daily", programDirectory.string(), searchPath);
    if (!program) return "tessel-daily not found beside pictrex or on PATH; day " + day + " not built";
    std::string error;
    if (!tessel::StartDetached(*program, {*program, day}, webDirectory, kBuilderNiceness, error)) {
        return error + "; day " + day + " not built";
    }
    return "tessel-daily " + day + " started";
}

}  // namespace pictrex
