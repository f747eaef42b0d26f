// Long run of the whole capture road: the station core's capture cycle, the real driver library,
// the emulated camera (unpaced, a DC20 so that no snap pause is waited) and the real converter
// and archindex, started as the station starts them, in a temporary web directory with
// archiving on. Each cycle waits for its converter before the next starts, as the minutes
// between real captures do.
//
// Prints a line of progress every 1 000 cycles. At the end it reports failed cycles (a station status other than success, or a converter that did not
// publish the cycle's picture), the station process's resident memory and open descriptors
// after cycle 1 000 and after the last, and the bytes the web directory holds apart from
// pictures at both points.
//
//   station_soak [cycles]       (default 10 000, at least 1 000)
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>

#include "bench_station_parts.h"
#include "control_ids.h"
#include "emulator_process.h"
#include "process_converter_launcher.h"
#include "station_dialog.h"
#include "station_fakes.h"

namespace {

namespace fs = std::filesystem;
using namespace tessel;
using namespace tessel::bench;

constexpr const char* kSuccess =
    "Say \"Cheese!\" Acquiring Picture Creating Web Image Deleting Picture Finished Processing";
constexpr int kMeasuredCycle = 1000;
constexpr int64_t kSecondsPerCycle = 60;
// The longest a converter may take before its cycle counts as failed.
constexpr auto kConverterLimit = std::chrono::seconds(60);

std::string ReadText(const fs::path& file)
{
    std::ifstream in(file, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

bool IsPicture(const fs::path& relative)
{
    const std::string name = relative.filename().string();
    return relative.extension() == ".jpg" || (name.rfind("image", 0) == 0 && relative.extension() == ".dc2");
}

// Bytes of every regular file in the web directory that is not a picture, by name.
std::map<std::string, std::uintmax_t> NonPictureBytes(const fs::path& web)
{
    std::map<std::string, std::uintmax_t> sizes;
    for (const fs::directory_entry& entry : fs::recursive_directory_iterator(web)) {
        const fs::path relative = entry.path().lexically_relative(web);
        if (entry.is_regular_file() && !IsPicture(relative)) sizes[relative.string()] = entry.file_size();
    }
    return sizes;
}

struct Snapshot {
    Memory memory;
    int descriptors = 0;
    std::map<std::string, std::uintmax_t> files;
};

Snapshot TakeSnapshot(const fs::path& web)
{
    return {MeasureMemory(), dc2x::testing::OpenDescriptorCount(), NonPictureBytes(web)};
}

void PrintSnapshot(const char* label, const Snapshot& s)
{
    std::uintmax_t total = 0;
    for (const auto& [name, bytes] : s.files) total += bytes;
    std::printf("%s: resident %ld KiB, heap in use %zu bytes, open descriptors %d, non-picture files %ju bytes\n",
                label, s.memory.residentKiB, s.memory.heapInUse, s.descriptors, total);
    for (const auto& [name, bytes] : s.files) std::printf("    %-24s %ju\n", name.c_str(), bytes);
}

// One line every thousand cycles, so that a long run shows its course while it goes.
void PrintProgress(int cycle, int failed, const Snapshot& s)
{
    std::uintmax_t total = 0;
    for (const auto& [name, bytes] : s.files) total += bytes;
    const auto log = s.files.find("pictrex.log");
    std::printf("cycle %d: failed %d, resident %ld KiB, descriptors %d, non-picture files %ju bytes (log %ju)\n", cycle,
                failed, s.memory.residentKiB, s.descriptors, total, log == s.files.end() ? 0 : log->second);
    std::fflush(stdout);
}

// The converter started by the cycle has ended, within the limit.
bool WaitForConverter(ProcessConverterLauncher& launcher)
{
    const auto stop = std::chrono::steady_clock::now() + kConverterLimit;
    while (launcher.RunningCount() != 0) {
        if (std::chrono::steady_clock::now() >= stop) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    return true;
}

// Programs are found as the station finds them: pictrex on PATH, archindex on PATH.
void PutProgramsOnPath()
{
    const char* old = std::getenv("PATH");
    const std::string path = std::string(TESSEL_PICTREX_DIR) + ":" + TESSEL_ARCHINDEX_DIR + ":" + (old ? old : "");
    ::setenv("PATH", path.c_str(), 1);
}

}  // namespace

int main(int argc, char** argv)
{
    const int cycles = argc > 1 ? std::atoi(argv[1]) : 10000;
    if (cycles < kMeasuredCycle) {
        std::fprintf(stderr, "usage: station_soak [cycles >= %d]\n", kMeasuredCycle);
        return 2;
    }
    std::string dir = (fs::temp_directory_path() / "tessel-soak-XXXXXX").string();
    if (::mkdtemp(dir.data()) == nullptr) {
        std::perror("mkdtemp");
        return 1;
    }
    const fs::path web = dir;
    const fs::path previous = fs::current_path();
    fs::current_path(web);
    // Pictures older than a day are expired, so the archive stays at about a day's pictures.
    std::ofstream("pictrex.ini") << "archive_days = 1\n";

    PutProgramsOnPath();
    // Waits scaled down for the emulator, which answers at once; the snap and the erase take 1 ms.
    ::setenv("DC25_TIMEOUT_SCALE", "0.2", 1);
    ::unsetenv("DC25_TRACE");
    dc2x::testing::EmulatorProcess emulator(DC2X_EMULATOR_PATH,
                                            {"--model", "dc20", "--snap-ms", "1", "--erase-ms", "1"});
    ::setenv("DC25_COM1", emulator.path().c_str(), 1);

    SlotView view;
    NullTimer timer;
    testing::FakeClock clock;
    // Stamps run a minute apart and end at the present, so expiry by the real date has work to do.
    clock.now = std::time(nullptr) - kSecondsPerCycle * cycles;
    CountingSleeper sleeper;
    ProcessConverterLauncher launcher;
    StationDialog station(view, timer, clock, sleeper, launcher);
    station.UpdateData(false);      // COM1, 115200
    view.SetComboIndex(IDC_CAMERA, 0);  // DC20
    view.SetCheckState(IDC_ARCHIVE, 1);

    int failed = 0;
    int firstFailure = 0;
    std::string firstStatus;
    Snapshot atMeasured;
    const auto started = std::chrono::steady_clock::now();
    for (int cycle = 1; cycle <= cycles; ++cycle) {
        clock.now += kSecondsPerCycle;
        if (cycle % 100 == 0) view.SetControlText(IDC_MESSAGE, "caption " + std::to_string(cycle / 100));
        station.RunCaptureCycle();
        const bool converted = WaitForConverter(launcher);
        const bool published = ReadText("webcam.json").find(station.lastStamp) != std::string::npos;
        if (station.status != kSuccess || !converted || !published) {
            if (failed++ == 0) {
                firstFailure = cycle;
                firstStatus = station.status + (converted ? "" : " [converter still running]") +
                              (published ? "" : " [picture not published]");
            }
        }
        if (cycle == kMeasuredCycle) atMeasured = TakeSnapshot(web);
        if (cycle % kMeasuredCycle == 0) PrintProgress(cycle, failed, TakeSnapshot(web));
    }
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
    const Snapshot atEnd = TakeSnapshot(web);

    std::printf("cycles: %d in %.0f s (%.1f ms a cycle), failed: %d\n", cycles, seconds, seconds * 1000 / cycles,
                failed);
    if (failed != 0) std::printf("first failure: cycle %d: %s\n", firstFailure, firstStatus.c_str());
    PrintSnapshot("after cycle 1000", atMeasured);
    const std::string endLabel = "after cycle " + std::to_string(cycles);
    PrintSnapshot(endLabel.c_str(), atEnd);

    fs::current_path(previous);
    fs::remove_all(web);
    return failed == 0 ? 0 : 1;
}
