// pictrex <stamp> ARCHIVE|NOARCHIVE [off]: makes the web image from image<stamp>.dc2 in the
// current directory (the web directory), archives it, or shows that the camera is off.
#include <cstdlib>
#include <ctime>
#include <iostream>
#include <string>

#include "arguments.h"
#include "pictrex_run.h"
#include "program_lookup.h"
#include "standard_options.h"
#include "text_renderer.h"

namespace {

constexpr const char* kDescription =
    "Makes the web image webcam.jpg in the current directory (the web directory) from\n"
    "image<stamp>.dc2; with ARCHIVE also keeps archive/<stamp>.jpg; with off shows that the\n"
    "camera is off. Settings in pictrex.ini, a line per run in pictrex.log.\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
    const std::string help = std::string(pictrex::kUsageLine) + '\n' + kDescription;
    if (const auto status = tessel::AnswerStandardOption(argc, argv, {"pictrex", help}, std::cout)) return *status;
    const char* path = std::getenv("PATH");
    const pictrex::Environment environment{
        ".",
        tessel::ExecutableDirectory(),
        path ? path : "",
        [] { return std::time(nullptr); },
        pictrex::DefaultFontFiles(),
    };
    return pictrex::RunPictrex(std::vector<std::string>(argv + 1, argv + argc), environment, std::cerr);
}
