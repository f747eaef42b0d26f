// The capture station program: one fixed-size window that takes a picture every refresh interval.
#include <QApplication>

#include <iostream>

#include "message_boxes.h"
#include "process_converter_launcher.h"
#include "standard_options.h"
#include "station_app.h"
#include "system_clock.h"
#include "test_hook.h"
#include "thread_sleeper.h"
#include "version_info.h"

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
    tessel::StationApp station({clock, sleeper, launcher, messages}, tessel::TestHookFromEnvironment());
    station.InitInstance();
    return 0;
}
