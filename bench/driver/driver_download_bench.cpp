// Measures high-resolution downloads through the driver library from the emulated camera.
//
//   paced:   the emulator sends at the line rate of 115200 baud (11 bits a byte); the time of
//            one download is set against the line's bound, 122 blocks of 1025 bytes, 11.94 s.
//            Target: efficiency (bound / time) of at least 0.97.
//   unpaced: the emulator sends as fast as the pseudo-terminal takes it, so the time is the
//            library's own cost per download. Target: at most 50 ms.
//
// Usage: driver_download_bench [paced runs (2)] [unpaced runs (30)]
#include <stdlib.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <numeric>
#include <string>
#include <vector>

#include "dc25v20.h"
#include "dc2x/protocol.h"
#include "emulator_process.h"
#include "station_records.h"

namespace {

using Seconds = std::chrono::duration<double>;

constexpr std::size_t kHighResolutionBlocks = 122;

// An open DC25 at 115200 holding one picture.
struct Camera : dc2x::testing::StationRecords {
    std::vector<uint8_t> data;

    explicit Camera(const std::string& device) : StationRecords(1, dc2x::testing::kDc25Code, 1152) {
        ::setenv("DC25_COM1", device.c_str(), 1);
        Check(DC25_OpenDriver(&openInfo, &driver), "OpenDriver");
        Check(DC25_OpenCamera(&camera), "OpenCamera");
        Check(DC25_TakePicture(&camera, 0, 0, &picture, 0), "TakePicture");
        data.resize(picture.bufferSize);
        buffer = DC25PictureBuffer{data.data(), static_cast<uint32_t>(data.size()), 0};
    }
    ~Camera() {
        DC25_DeletePicture(&camera, 0, -1);
        DC25_CloseCamera(&camera);
        DC25_CloseDriver(&driver);
    }

    double TimedDownload() {
        const auto start = std::chrono::steady_clock::now();
        Check(DC25_GetNativePicture(&camera, 0, &picture, &buffer, &downloadWord), "GetNativePicture");
        return Seconds(std::chrono::steady_clock::now() - start).count();
    }

    static void Check(int16_t result, const char* call) {
        if (result != DC25_OK) {
            std::fprintf(stderr, "%s failed: %d\n", call, result);
            std::exit(1);
        }
    }
};

double Mean(const std::vector<double>& v) { return std::accumulate(v.begin(), v.end(), 0.0) / v.size(); }

}  // namespace

int main(int argc, char** argv) {
    const int pacedRuns = argc > 1 ? std::atoi(argv[1]) : 2;
    const int unpacedRuns = argc > 2 ? std::atoi(argv[2]) : 30;
    const double bound = dc2x::LineSeconds(kHighResolutionBlocks * (dc2x::kBlockBytes + 1), 115200);

    {
        dc2x::testing::EmulatorProcess emulator(DC2X_EMULATOR_PATH, {"--pace", "--snap-ms", "100"});
        Camera camera(emulator.path());
        std::vector<double> times;
        for (int i = 0; i < pacedRuns; ++i) times.push_back(camera.TimedDownload());
        const double best = *std::min_element(times.begin(), times.end());
        std::printf("paced 115200: %d runs, best %.3f s, mean %.3f s; line bound %.3f s; efficiency %.3f (best), %.3f (mean)\n",
                    pacedRuns, best, Mean(times), bound, bound / best, bound / Mean(times));
    }
    {
        dc2x::testing::EmulatorProcess emulator(DC2X_EMULATOR_PATH, {"--snap-ms", "100"});
        Camera camera(emulator.path());
        std::vector<double> times;
        for (int i = 0; i < unpacedRuns; ++i) times.push_back(camera.TimedDownload());
        std::sort(times.begin(), times.end());
        std::printf("unpaced: %d runs, per download min %.1f ms, median %.1f ms, mean %.1f ms\n", unpacedRuns,
                    times.front() * 1e3, times[times.size() / 2] * 1e3, Mean(times) * 1e3);
    }
    return 0;
}
