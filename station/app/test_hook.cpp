#include "test_hook.h"

#include <QEvent>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <string_view>

#include "control_ids.h"
#include "station_window.h"

namespace tessel {
namespace {

long long MonotonicNanoseconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<long long>(now.tv_sec) * 1'000'000'000LL + now.tv_nsec;
}

// Reports the end of the window's first paint and closes the window.
class FirstPaintReporter final : public QObject {
public:
    explicit FirstPaintReporter(StationWindow& window) : QObject(&window), window_(window) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Paint) {
            window_.removeEventFilter(this);
            // Queued, so it runs once this paint has finished.
            QTimer::singleShot(0, &window_, [this] {
                std::printf("%lld\n", MonotonicNanoseconds());
                std::fflush(stdout);
                window_.reject();
            });
        }
        return false;
    }

private:
    StationWindow& window_;
};

}  // namespace

StationApp::WindowReady TestHookFromEnvironment() {
    const char* value = std::getenv("TESSEL_TEST_HOOK");
    const std::string_view hook = value != nullptr ? value : "";
    if (hook == "press-start") {
        return [](StationWindow& window) {
            QTimer::singleShot(0, &window, [&window] { window.Controls().Find<QPushButton>(IDC_START)->click(); });
        };
    }
    if (hook == "first-paint") {
        return [](StationWindow& window) { new FirstPaintReporter(window); };
    }
    return {};
}

}  // namespace tessel
