// grab_tool: one grab from a camera source, written as a JPEG file. For the tests that need a
// real device (the V4L2 tests run it inside a virtual machine) and for the benchmark.
//
//   grab_tool [--timeout SECONDS] [--video-size WxH] [--warmup FRAMES] SOURCE OUTPUT.jpg
//
// Credentials come from TESSEL_SOURCE_USER and TESSEL_SOURCE_PASSWORD (never the command line).
// Prints "grabbed WIDTHxHEIGHT camera-jpeg|encoded" or "failed: REASON (KIND)"; exits 0 when the
// picture was written, 1 when the grab failed, 2 on a usage error.
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include "grab.h"
#include "picture_jpeg.h"

namespace cs = tessel::camera_sources;

namespace {

int Usage(const std::string& problem) {
    std::fprintf(stderr, "grab_tool: %s\nusage: grab_tool [--timeout SECONDS] [--video-size WxH] [--warmup FRAMES] "
                         "SOURCE OUTPUT.jpg\n", problem.c_str());
    return 2;
}

bool ParseCount(const char* text, int low, int high, int& value) {
    char* end = nullptr;
    const long parsed = std::strtol(text, &end, 10);
    if (end == text || *end != '\0' || parsed < low || parsed > high) return false;
    value = static_cast<int>(parsed);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    cs::GrabSettings settings;
    int argument = 1;
    for (; argument + 1 < argc && std::strncmp(argv[argument], "--", 2) == 0; argument += 2) {
        const std::string option = argv[argument];
        const char* value = argv[argument + 1];
        std::string error;
        int number = 0;
        if (option == "--timeout" && ParseCount(value, cs::kShortestSourceTimeout, cs::kLongestSourceTimeout, number)) {
            settings.timeout = std::chrono::seconds(number);
        } else if (option == "--warmup" && ParseCount(value, 0, 1000, number)) {
            settings.warmupFrames = number;
        } else if (option == "--video-size") {
            settings.videoSize = cs::ParseVideoSize(value, error);
            if (!settings.videoSize) return Usage(error);
        } else {
            return Usage("bad option " + option + " " + value);
        }
    }
    if (argc - argument != 2) return Usage("expected SOURCE and OUTPUT");
    std::string error;
    const auto source = cs::ParseSource(argv[argument], error);
    if (!source) return Usage(error);
    if (source->kind == cs::SourceKind::Dc2x) return Usage("the serial camera is not grabbed by this tool");
    const char* user = std::getenv("TESSEL_SOURCE_USER");
    const char* password = std::getenv("TESSEL_SOURCE_PASSWORD");
    if (user) settings.credentials = cs::SourceCredentials{user, password ? password : ""};

    const cs::GrabResult result = cs::Grab(*source, settings);
    if (!result) {
        std::printf("failed: %s (%s)\n", result.reason.c_str(), cs::FailureName(result.failure));
        return 1;
    }
    const auto jpeg = cs::PictureAsJpeg(*result.picture);
    std::ofstream out(argv[argument + 1], std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(jpeg.data()), static_cast<std::streamsize>(jpeg.size()));
    out.close();
    if (!out) {
        std::fprintf(stderr, "grab_tool: cannot write %s\n", argv[argument + 1]);
        return 2;
    }
    const bool cameraJpeg = std::holds_alternative<cs::CameraJpeg>(*result.picture);
    const int width = cameraJpeg ? std::get<cs::CameraJpeg>(*result.picture).width : std::get<cs::RgbFrame>(*result.picture).width;
    const int height = cameraJpeg ? std::get<cs::CameraJpeg>(*result.picture).height : std::get<cs::RgbFrame>(*result.picture).height;
    std::printf("grabbed %dx%d %s\n", width, height, cameraJpeg ? "camera-jpeg" : "encoded");
    return 0;
}
