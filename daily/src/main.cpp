// tessel-daily YYYYMMDD: builds the time-lapse and the keogram of one day of the archive, run in
// the web directory. The converter starts it when the first picture of a later day is archived;
// it can also be run by hand, e.g. to build a day again. One line per run goes to tessel-daily.log.
#include <chrono>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>

#include "archive/archive.h"
#include "archive/day_lists.h"
#include "archive/run_log.h"
#include "archive/stamp.h"
#include "day_build.h"
#include "program_lookup.h"
#include "standard_options.h"
#include "upload_spool.h"
#include "web_directory.h"

namespace {

enum ExitCode : int {
    kBuilt = 0,
    kUsage = 2,       // not one argument YYYYMMDD naming a real date
    kNoPictures = 3,  // the archive lists no pictures for that day
    kFailed = 4,      // the products could not be made; the previous ones are unchanged
};

}  // namespace

constexpr const char* kUsageLine = "usage: tessel-daily YYYYMMDD (run in the web directory)";
constexpr const char* kDescription =
    "Builds the day's time-lapse archive/days/YYYYMMDD.mp4 and keogram archive/days/YYYYMMDD-keogram.jpg\n"
    "from the pictures archive/days/YYYYMMDD.json lists, and notes them in archive/days.json.\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n";

int main(int argc, char** argv) {
    const std::string help = std::string(kUsageLine) + '\n' + kDescription;
    if (const auto status = tessel::AnswerStandardOption(argc, argv, {"tessel-daily", help}, std::cout)) return *status;
    if (argc != 2 || !archive::Stamp::Parse(std::string(argv[1]) + "000000")) {
        std::cerr << kUsageLine << '\n';
        return kUsage;
    }
    const std::string day = argv[1];
    const auto started = std::chrono::steady_clock::now();
    const std::time_t startTime = std::time(nullptr);
    const char* path = std::getenv("PATH");
    const auto ffmpeg = tessel::FindProgram("ffmpeg", "", path ? path : "");

    tessel::daily::DayBuildOutcome outcome{tessel::daily::DayBuildOutcome::Result::Failed, "ffmpeg not found on PATH"};
    if (ffmpeg) outcome = tessel::daily::BuildDay({".", day, *ffmpeg});

    using Result = tessel::daily::DayBuildOutcome::Result;
    const int code = outcome.result == Result::Built ? kBuilt : outcome.result == Result::NoPictures ? kNoPictures : kFailed;
    const std::string text = code == kBuilt ? "built: " + outcome.message
                                            : "failed (exit " + std::to_string(code) + "): " + outcome.message;
    if (code != kBuilt) std::cerr << "tessel-daily: " << outcome.message << '\n';
    if (code == kBuilt) {
        // The products go to the upload targets like every other public file (nothing happens without targets).
        const std::string products = std::string(archive::kArchiveDirectory) + "/";
        const auto warnings = tessel::EnqueueUploads(".", {products + archive::VideoName(day), products + archive::KeogramName(day),
                                     products + archive::kDaysListName});
        for (const auto& warning : warnings) std::cerr << "tessel-daily: " << warning << '\n';
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - started);
    try {
        tessel::WebDirectory::Open(".", tessel::DirectoryLinks::FollowIfOwned)
            .AppendLine("tessel-daily.log", archive::LogLine(startTime, day, text, static_cast<long>(elapsed.count())));
    } catch (const tessel::FileError& e) {
        std::cerr << "tessel-daily: cannot append to tessel-daily.log: " << e.what() << '\n';
    }
    return code;
}
