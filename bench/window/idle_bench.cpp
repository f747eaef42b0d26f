// The capture station window at rest and at work, offscreen, with the scripted camera driver
// (a DC20-sized picture) and a recording converter launcher:
//   - CPU time the process uses while the schedule is armed and waiting between two cycles;
//   - resident memory after 10 capture cycles run through the window (real pauses, repaints).
// Usage: window_idle_bench [IDLE_SECONDS]   (default 60)
#include <QApplication>
#include <QDir>
#include <QEventLoop>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <sys/resource.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>

#include "control_ids.h"
#include "fake_dc25.h"
#include "message_boxes.h"
#include "station_fakes.h"
#include "station_window.h"
#include "system_clock.h"
#include "thread_sleeper.h"

namespace {

double CpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return static_cast<double>(t.tv_sec) + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// A line of /proc/self/status such as "VmRSS:", in kilobytes.
long StatusKilobytes(const std::string& field) {
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind(field, 0) == 0) return std::atol(line.c_str() + field.size());
    }
    return -1;
}

void RunEventLoopFor(int milliseconds) {
    QEventLoop loop;
    QTimer::singleShot(milliseconds, &loop, &QEventLoop::quit);
    loop.exec();
}

bool WaitForStatusEnding(const QPlainTextEdit& status, const QString& ending, int milliseconds) {
    for (int waited = 0; waited < milliseconds; waited += 50) {
        if (status.toPlainText().endsWith(ending)) return true;
        RunEventLoopFor(50);
    }
    return false;
}

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    const int idleSeconds = argc > 1 ? std::atoi(argv[1]) : 60;

    QTemporaryDir webDirectory;
    QDir::setCurrent(webDirectory.path());
    tessel::fake_dc25::Script script;
    script.bufferSize = 124928;
    script.byteCount = 124928;
    script.recordCalls = false;
    tessel::fake_dc25::Reset(script);

    tessel::SystemClock clock;
    tessel::ThreadSleeper sleeper;
    tessel::testing::RecordingLauncher launcher;
    tessel::QtMessageBoxes messages;
    tessel::StationWindow window({clock, sleeper, launcher, messages});
    window.show();
    RunEventLoopFor(200);
    const long rssShown = StatusKilobytes("VmRSS:");

    // Armed and waiting: the first cycle runs 500 ms after Start, the next one 90 s later.
    const auto& controls = window.Controls();
    const auto* status = controls.Find<QPlainTextEdit>(tessel::IDC_STATUS);
    controls.Find<QLineEdit>(tessel::IDC_REFRESH)->setText("90");
    controls.Find<QPushButton>(tessel::IDC_START)->click();
    if (!WaitForStatusEnding(*status, "Finished Processing", 10000)) {
        std::fprintf(stderr, "window_idle_bench: the first cycle did not finish\n");
        return 1;
    }
    const double cpuBefore = CpuSeconds();
    RunEventLoopFor(idleSeconds * 1000);
    const double idleCpu = CpuSeconds() - cpuBefore;

    for (int cycle = 0; cycle < 10; ++cycle) window.Station().OnTimer(1);
    RunEventLoopFor(200);

    std::printf("idle CPU with the schedule armed: %.3f s over %d s (%.3f s per 60 s; target <= 0.1 s)\n", idleCpu,
                idleSeconds, idleCpu * 60.0 / idleSeconds);
    std::printf("resident memory: %.1f MB with the window shown, %.1f MB after 11 cycles, peak %.1f MB "
                "(target <= 60 MB)\n",
                rssShown / 1024.0, StatusKilobytes("VmRSS:") / 1024.0, StatusKilobytes("VmHWM:") / 1024.0);
    return 0;
}
