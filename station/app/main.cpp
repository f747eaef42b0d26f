// The capture station program: one fixed-size window that takes a picture every refresh interval.
#include <QApplication>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <optional>

#include <iostream>

#include "message_boxes.h"
#include "process_converter_launcher.h"
#include "standard_options.h"
#include "station_app.h"
#include "station_health.h"
#include "station_lock.h"
#include "station_window.h"
#include "system_clock.h"
#include "test_hook.h"
#include "thread_sleeper.h"
#include "version_info.h"
#include "web_directory.h"

namespace {

constexpr const char* kHelp =
    "usage: tessel [--help] [--version]\n"
    "The capture station window: takes a picture from a DC20 or DC25 camera every 30 to 90\n"
    "seconds and hands it to the converter pictrex. Works in the current directory, the web\n"
    "directory. The camera's device is chosen with DC25_COM1 ... DC25_COM4.\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n";

}  // namespace

int main(int argc, char** argv) {
    // Answered before any window system is touched, so they work without a display.
    if (const auto status = tessel::AnswerStandardOption(argc, argv, {"tessel", kHelp}, std::cout)) return *status;
    QApplication application(argc, argv);
    const auto& v = tessel::res::kFileVersion;
    QApplication::setApplicationVersion(QStringLiteral("%1.%2.%3.%4").arg(v.major).arg(v.minor).arg(v.patch).arg(v.build));
    QApplication::setDesktopFileName(QStringLiteral("tessel"));

    tessel::SystemClock clock;
    tessel::ThreadSleeper sleeper;
    tessel::ProcessConverterLauncher launcher;
    tessel::QtMessageBoxes messages;

    // The working directory is the web directory; one station at a time may use it.
    std::optional<tessel::WebDirectory> webDirectory;
    std::optional<tessel::StationLock> lock;
    try {
        webDirectory.emplace(tessel::WebDirectory::Open(std::filesystem::current_path()));
        lock.emplace(tessel::StationLock::Acquire(*webDirectory));
    } catch (const std::exception& refused) {
        std::fprintf(stderr, "tessel: %s\n", refused.what());
        messages.Show(nullptr, QString::fromUtf8(refused.what()), tessel::MessageKind::Warning);
        return 1;
    }
    tessel::HealthFile health(*webDirectory, clock);
    const auto testHook = tessel::TestHookFromEnvironment();
    tessel::StationApp station({clock, sleeper, launcher, messages}, [&health, &testHook](tessel::StationWindow& window) {
        window.Station().Observe(&health);
        if (testHook) testHook(window);
    });
    station.InitInstance();
    health.ProgramEnding();
    return 0;
}
