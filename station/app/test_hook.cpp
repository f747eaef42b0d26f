#include "test_hook.h"

#include <QEvent>
#include <QPixmap>
#include <QPushButton>
#include <QTimer>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
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

// Runs an action once the window's first paint has finished, then ends the window.
class AfterFirstPaint final : public QObject {
public:
    AfterFirstPaint(StationWindow& window, std::function<void(StationWindow&)> action)
        : QObject(&window), window_(window), action_(std::move(action)) {
        window.installEventFilter(this);
    }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (watched == &window_ && event->type() == QEvent::Paint) {
            window_.removeEventFilter(this);
            // Queued, so it runs once this paint has finished.
            QTimer::singleShot(0, &window_, [this] {
                action_(window_);
                window_.reject();
            });
        }
        return false;
    }

private:
    StationWindow& window_;
    std::function<void(StationWindow&)> action_;
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
        return [](StationWindow& window) {
            new AfterFirstPaint(window, [](StationWindow&) {
                std::printf("%lld\n", MonotonicNanoseconds());
                std::fflush(stdout);
            });
        };
    }
    constexpr std::string_view kSnapshot = "snapshot=";
    if (hook.starts_with(kSnapshot)) {
        const QString path = QString::fromUtf8(hook.substr(kSnapshot.size()));
        return [path](StationWindow& window) {
            new AfterFirstPaint(window, [path](StationWindow& painted) {
                if (!painted.grab().save(path, "PNG")) std::fprintf(stderr, "tessel: cannot write %s\n", qPrintable(path));
            });
        };
    }
    return {};
}

}  // namespace tessel
