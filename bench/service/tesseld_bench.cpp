// The headless station as systemd runs it, measured from outside the process:
//   - start-up: from spawning tesseld to the READY=1 it sends (median of RUNS starts);
//   - idle: CPU time and resident memory of the tesseld process over IDLE_SECONDS with the
//     schedule armed (refresh 90 s, after the first picture);
//   - work: CPU time and resident memory over 10 cycles asked for with SIGUSR1, with the
//     emulated DC20 camera unpaced and the real converter.
// CPU time is the tesseld process's own (utime + stime from /proc), not its converters'.
// Usage: tesseld_bench [IDLE_SECONDS [RUNS]]   (defaults 60 and 21)
#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <optional>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "emulator_process.h"
#include "tesseld_process.h"

namespace {

namespace fs = std::filesystem;
using tessel::service::testing::NotifySocket;
using tessel::service::testing::TesseldProcess;
using namespace std::chrono_literals;

// utime + stime of process `pid`, in seconds.
double CpuSeconds(pid_t pid)
{
    std::ifstream stat("/proc/" + std::to_string(pid) + "/stat");
    std::string text((std::istreambuf_iterator<char>(stat)), std::istreambuf_iterator<char>());
    // Fields after the command name in parentheses; utime and stime are fields 14 and 15.
    std::istringstream fields(text.substr(text.rfind(')') + 2));
    std::string field;
    double ticks = 0;
    for (int index = 3; index <= 15 && fields >> field; ++index) {
        if (index >= 14) {
            ticks += std::stod(field);
        }
    }
    return ticks / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// A field of /proc/PID/status such as "VmRSS:", in megabytes.
double StatusMegabytes(pid_t pid, const std::string& name)
{
    std::ifstream status("/proc/" + std::to_string(pid) + "/status");
    for (std::string line; std::getline(status, line);) {
        if (line.starts_with(name)) {
            return std::atof(line.c_str() + name.size()) / 1024.0;
        }
    }
    return -1;
}

struct Bench {
    fs::path root;
    fs::path web;

    Bench()
    {
        char name[] = "/tmp/tesseld-bench-XXXXXX";
        root = mkdtemp(name);
        web = root / "web";
        fs::create_directories(web / "archive");
    }
    ~Bench() { fs::remove_all(root); }

    fs::path Config(const std::string& device) const
    {
        const fs::path file = root / "tessel.conf";
        std::ofstream(file) << "device = " << device << "\nwebdir = " << web.string() << "\nrefresh = 90\n";
        return file;
    }

    std::map<std::string, std::optional<std::string>> Environment(const NotifySocket& notify) const
    {
        const char* path = std::getenv("PATH");
        return {{"PATH", std::string(PICTREX_DIR) + ":" + ARCHINDEX_DIR + ":" + (path != nullptr ? path : "/usr/bin")},
                {"NOTIFY_SOCKET", notify.path().string()},
                {"JOURNAL_STREAM", std::nullopt},
                {"WATCHDOG_USEC", std::nullopt}};
    }
};

// Milliseconds from spawn to READY=1; negative on failure.
double OneStart(Bench& bench, int run)
{
    NotifySocket notify(bench.root / ("notify-" + std::to_string(run)));
    const fs::path config = bench.Config("/nonexistent/tty");
    const auto started = std::chrono::steady_clock::now();
    TesseldProcess tesseld(TESSELD_PATH, {"--config", config.string()}, bench.Environment(notify), bench.root / "start.log");
    const bool ready = notify.WaitFor("READY=1", 10s);
    const auto elapsed = std::chrono::steady_clock::now() - started;
    tesseld.Signal(SIGTERM);
    tesseld.WaitForExit(10s);
    return ready ? std::chrono::duration<double, std::milli>(elapsed).count() : -1;
}

}  // namespace

int main(int argc, char** argv)
{
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    Bench bench;

    std::vector<double> starts;
    for (int run = 0; run < runs; ++run) {
        const double milliseconds = OneStart(bench, run);
        if (milliseconds < 0) {
            std::fprintf(stderr, "tesseld_bench: no READY=1 from tesseld\n");
            return 1;
        }
        starts.push_back(milliseconds);
    }
    std::sort(starts.begin(), starts.end());
    std::printf("start to READY=1: median %.1f ms, fastest %.1f ms, slowest %.1f ms over %d starts (target <= 20 ms)\n",
                starts[starts.size() / 2], starts.front(), starts.back(), runs);

    dc2x::testing::EmulatorProcess emulator(DC2X_EMULATOR_PATH, {"--model", "dc20", "--capacity", "20"});
    NotifySocket notify(bench.root / "notify");
    TesseldProcess tesseld(TESSELD_PATH, {"--config", bench.Config(emulator.path()).string()}, bench.Environment(notify),
                           bench.root / "tesseld.log");
    // Each cycle ends with one STATUS= of its final line.
    const auto cycleDone = [&notify](std::size_t count) { return notify.WaitForCount("Finished Processing", count, 60s); };
    if (!cycleDone(1)) {
        std::fprintf(stderr, "tesseld_bench: the first cycle did not finish\n");
        return 1;
    }
    std::this_thread::sleep_for(1s);  // the converter of the first picture ends
    const pid_t pid = tesseld.pid();
    const double rssArmed = StatusMegabytes(pid, "VmRSS:");
    const double cpuBefore = CpuSeconds(pid);
    std::this_thread::sleep_for(std::chrono::seconds(idleSeconds));
    const double idleCpu = CpuSeconds(pid) - cpuBefore;
    const double rssIdle = StatusMegabytes(pid, "VmRSS:");

    const double workBefore = CpuSeconds(pid);
    const auto workStarted = std::chrono::steady_clock::now();
    for (std::size_t cycle = 2; cycle <= 11; ++cycle) {
        tesseld.Signal(SIGUSR1);
        if (!cycleDone(cycle)) {
            std::fprintf(stderr, "tesseld_bench: cycle %zu did not finish\n", cycle);
            return 1;
        }
    }
    const double workSeconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - workStarted).count();
    const double workCpu = CpuSeconds(pid) - workBefore;
    const double rssWork = StatusMegabytes(pid, "VmRSS:");
    const double peak = StatusMegabytes(pid, "VmHWM:");
    tesseld.Signal(SIGTERM);
    const int status = tesseld.WaitForExit(60s);

    std::printf("idle with the schedule armed: %.3f s CPU over %d s (%.4f s per minute; target <= 0.01 s)\n", idleCpu,
                idleSeconds, idleCpu * 60.0 / idleSeconds);
    std::printf("10 cycles, emulator unpaced: %.3f s CPU in %.1f s wall time (%.1f ms CPU per cycle)\n", workCpu,
                workSeconds, workCpu * 100.0);
    std::printf("resident memory: %.1f MB armed, %.1f MB after the idle time, %.1f MB after 11 cycles, peak %.1f MB "
                "(target <= 8 MB)\n",
                rssArmed, rssIdle, rssWork, peak);
    std::printf("stopped with exit status %d\n", status);
    return status == 0 ? 0 : 1;
}
