// pictrex <stamp> ARCHIVE|NOARCHIVE [off]: makes the web image from image<stamp>.dc2 in the
// current directory (the web directory), archives it, or shows that the camera is off.
#include <cstdlib>
#include <ctime>
#include <iostream>

#include "pictrex_run.h"
#include "program_lookup.h"
#include "text_renderer.h"

int main(int argc, char** argv) {
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
