// The capture station program: one fixed-size window that takes a picture every refresh interval.
#include <QApplication>

#include "message_boxes.h"
#include "process_converter_launcher.h"
#include "station_app.h"
#include "system_clock.h"
#include "test_hook.h"
#include "thread_sleeper.h"
#include "version_info.h"

int main(int argc, char** argv) {
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
