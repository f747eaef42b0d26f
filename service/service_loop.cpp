#include "service_loop.h"

#include <poll.h>
#include <signal.h>
#include <sys/signalfd.h>
#include <sys/timerfd.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <stdexcept>
#include <string>

namespace tessel::service {
namespace {

sigset_t LoopSignals()
{
    sigset_t set;
    sigemptyset(&set);
    for (const int signal : {SIGTERM, SIGINT, SIGHUP, SIGUSR1}) {
        sigaddset(&set, signal);
    }
    return set;
}

FileDescriptor Checked(int descriptor, const char* what)
{
    if (descriptor < 0) {
        throw std::runtime_error(std::string("cannot create the ") + what + ": " + std::strerror(errno));
    }
    return FileDescriptor(descriptor);
}

itimerspec Interval(std::chrono::nanoseconds first, std::chrono::nanoseconds period)
{
    const auto split = [](std::chrono::nanoseconds value) {
        const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(value);
        return timespec{static_cast<time_t>(seconds.count()), static_cast<long>((value - seconds).count())};
    };
    return itimerspec{split(period), split(first)};
}

void SetTimer(const FileDescriptor& timer, const itimerspec& setting)
{
    if (timerfd_settime(timer.get(), 0, &setting, nullptr) != 0) {
        throw std::runtime_error(std::string("cannot set a timer: ") + std::strerror(errno));
    }
}

// Reads a timerfd's expiry count so that it stops being readable.
void Acknowledge(const FileDescriptor& timer)
{
    uint64_t expirations = 0;
    [[maybe_unused]] const ssize_t ignored = read(timer.get(), &expirations, sizeof expirations);
}

}  // namespace

void ServiceLoop::BlockSignals()
{
    const sigset_t set = LoopSignals();
    sigprocmask(SIG_BLOCK, &set, nullptr);
}

ServiceLoop::ServiceLoop(double timeScale)
    : timeScale_(timeScale),
      captureTimer_(Checked(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK), "capture timer")),
      heartbeatTimer_(Checked(timerfd_create(CLOCK_MONOTONIC, TFD_CLOEXEC | TFD_NONBLOCK), "heartbeat timer"))
{
    const sigset_t set = LoopSignals();
    signals_ = Checked(signalfd(-1, &set, SFD_CLOEXEC | SFD_NONBLOCK), "signal descriptor");
}

void ServiceLoop::Arm(uint32_t id, uint32_t milliseconds)
{
    if (id != kCaptureTimerId) {
        return;
    }
    const auto scaled = std::chrono::nanoseconds(
        static_cast<int64_t>(std::llround(static_cast<double>(milliseconds) * 1e6 * timeScale_)));
    // A zero first expiry would disarm the timer: the shortest wait is a nanosecond.
    SetTimer(captureTimer_, Interval(std::max(scaled, std::chrono::nanoseconds(1)), {}));
}

void ServiceLoop::Kill(uint32_t id)
{
    if (id != kCaptureTimerId) {
        return;
    }
    SetTimer(captureTimer_, Interval({}, {}));
    Acknowledge(captureTimer_);
}

void ServiceLoop::EnableHeartbeat(std::chrono::microseconds interval)
{
    SetTimer(heartbeatTimer_, Interval(interval, interval));
}

int ServiceLoop::Run(ServiceEvents& events)
{
    while (true) {
        pollfd watched[] = {
            {signals_.get(), POLLIN, 0},
            {captureTimer_.get(), POLLIN, 0},
            {heartbeatTimer_.get(), POLLIN, 0},
        };
        if (poll(watched, std::size(watched), -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            throw std::runtime_error(std::string("poll failed: ") + std::strerror(errno));
        }
        // Signals first: a stop that arrived during a cycle ends the loop before the next one.
        if ((watched[0].revents & POLLIN) != 0) {
            if (const int stop = HandleSignals(events); stop != 0) {
                return stop;
            }
        }
        if ((watched[2].revents & POLLIN) != 0) {
            Acknowledge(heartbeatTimer_);
            events.OnHeartbeat();
        }
        if ((watched[1].revents & POLLIN) != 0) {
            Acknowledge(captureTimer_);
            events.OnCaptureTimer();
        }
    }
}

int ServiceLoop::HandleSignals(ServiceEvents& events)
{
    bool reload = false;
    bool pictureNow = false;
    int stop = 0;
    signalfd_siginfo info{};
    while (read(signals_.get(), &info, sizeof info) == static_cast<ssize_t>(sizeof info)) {
        const auto signal = static_cast<int>(info.ssi_signo);
        if (signal == SIGHUP) {
            reload = true;
        } else if (signal == SIGUSR1) {
            pictureNow = true;
        } else if (stop == 0) {
            stop = signal;
        }
    }
    // A reload comes first, so that a picture asked for with it uses the new settings.
    if (reload) {
        events.OnReload();
    }
    if (stop != 0) {
        return stop;
    }
    if (pictureNow) {
        events.OnPictureNow();
    }
    return 0;
}

double TestTimeScaleFromEnvironment()
{
    const char* text = std::getenv("TESSELD_TEST_TIME_SCALE");
    if (text == nullptr) {
        return 1.0;
    }
    char* end = nullptr;
    const double scale = std::strtod(text, &end);
    if (end == text || *end != '\0' || !(scale > 0.0) || scale > 1.0) {
        return 1.0;
    }
    return scale;
}

}  // namespace tessel::service
