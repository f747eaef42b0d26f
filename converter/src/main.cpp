// pictrex <stamp> ARCHIVE|NOARCHIVE [off]: makes the web image from image<stamp>.dc2 in the
// current directory (the web directory), archives it, or shows that the camera is off.
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <new>
#include <string>

#include "arguments.h"
#include "exit_codes.h"
#include "pictrex_run.h"
#include "program_lookup.h"
#include "standard_options.h"
#include "imaging/text_renderer.h"

namespace {

constexpr const char* kDescription =
    "Makes the web image webcam.jpg in the current directory (the web directory) from\n"
    "image<stamp>.dc2; with ARCHIVE also keeps archive/<stamp>.jpg; with off shows that the\n"
    "camera is off. Settings in pictrex.ini, a line per run in pictrex.log.\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n";

int Convert(int argc, char** argv) {
    const std::string help = std::string(pictrex::kUsageLine) + '\n' + kDescription;
    if (const auto status = tessel::AnswerStandardOption(argc, argv, {"pictrex", help}, std::cout)) return *status;
    const char* path = std::getenv("PATH");
    const pictrex::Environment environment{
        ".",
        tessel::ExecutableDirectory(),
        path ? path : "",
        [] { return std::time(nullptr); },
        imaging::DefaultFontFiles(),
    };
    return pictrex::RunPictrex(std::vector<std::string>(argv + 1, argv + argc), environment, std::cerr);
}

}  // namespace

int main(int argc, char** argv) {
    // Under a file-size limit a write that goes too far then fails with EFBIG and takes the
    // ordinary failure path (temporary file removed, exit 4) instead of killing the run.
    std::signal(SIGXFSZ, SIG_IGN);
    try {
        return Convert(argc, argv);
    } catch (const std::bad_alloc&) {
        // Memory ran out outside a run's own handling (setting up, or writing the log line).
        std::fputs("pictrex: out of memory\n", stderr);
        return pictrex::kOutOfMemory;
    }
}
