// Runs 10 000 capture cycles (timer ticks) against the scripted driver, which answers at once
// with a 124 928-byte picture, in a temporary web directory; pauses are counted, not slept.
// Prints the median and 90th percentile cost of one cycle, and the process's memory after
// cycle 1 000 and cycle 10 000.
//
//   station_cycle_bench [cycles]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "bench_station_parts.h"
#include "control_ids.h"
#include "fake_dc25.h"
#include "station_dialog.h"
#include "station_fakes.h"
#include "station_view.h"

namespace {

using namespace tessel;
using namespace tessel::bench;

class CountingLauncher final : public ConverterLauncher {
public:
    void Start(const std::string&) override { ++starts; }
    uint64_t starts = 0;
};

double Percentile(std::vector<double> values, double fraction)
{
    const auto at = static_cast<std::ptrdiff_t>(fraction * static_cast<double>(values.size() - 1));
    std::nth_element(values.begin(), values.begin() + at, values.end());
    return values[static_cast<std::size_t>(at)];
}

}  // namespace

int main(int argc, char** argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (cycles < 1000) {
        std::fprintf(stderr, "usage: station_cycle_bench [cycles >= 1000]\n");
        return 2;
    }
    namespace fs = std::filesystem;
    std::string dir = (fs::temp_directory_path() / "tessel-bench-XXXXXX").string();
    if (mkdtemp(dir.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path previous = fs::current_path();
    fs::current_path(dir);

    fake_dc25::Script script;
    script.byteCount = 124928;
    script.bufferSize = 124928;
    script.fillBuffer = false;   // the driver's own work is not what is measured
    script.recordCalls = false;  // a log of calls would grow
    fake_dc25::Reset(script);

    SlotView view;
    NullTimer timer;
    testing::FakeClock clock;
    CountingSleeper sleeper;
    CountingLauncher launcher;
    StationDialog station(view, timer, clock, sleeper, launcher);
    station.UpdateData(false);

    // Filled up front, so the results' own pages do not show as growth.
    std::vector<double> micros(static_cast<std::size_t>(cycles));
    Memory atThousand;
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        clock.now += 60;
        if (cycle % 100 == 0) {
            view.SetControlText(IDC_MESSAGE, "caption " + std::to_string(cycle / 100));
        }
        const auto start = std::chrono::steady_clock::now();
        station.OnTimer(kCaptureTimerId);
        const auto end = std::chrono::steady_clock::now();
        micros[static_cast<std::size_t>(cycle - 1)] = std::chrono::duration<double, std::micro>(end - start).count();
        // Keep the web directory small: the converter would have consumed the picture.
        fs::remove("image" + std::string(station.lastStamp) + ".dc2");
        if (cycle == 1000) {
            atThousand = MeasureMemory();
        }
    }
    const Memory atEnd = MeasureMemory();

    fs::current_path(previous);
    fs::remove_all(dir);

    if (station.status.find("Creating Web Image") == std::string::npos || launcher.starts != uint64_t(cycles)) {
        std::fprintf(stderr, "cycles did not store their pictures: %s\n", station.status.c_str());
        return 1;
    }
    std::printf("cycles: %d (picture 124928 bytes, %llu pauses counted, not slept)\n", cycles,
                static_cast<unsigned long long>(sleeper.pauses));
    std::printf("cycle cost: median %.1f us, p90 %.1f us, max %.1f us\n", Percentile(micros, 0.5),
                Percentile(micros, 0.9), *std::max_element(micros.begin(), micros.end()));
    std::printf("resident memory: cycle 1000 %ld KiB, cycle %d %ld KiB\n", atThousand.residentKiB, cycles,
                atEnd.residentKiB);
    std::printf("heap in use: cycle 1000 %zu bytes, cycle %d %zu bytes\n", atThousand.heapInUse, cycles,
                atEnd.heapInUse);
    return 0;
}
