// Recording stand-ins for the station core's clock, pauses, converter start and timer, for
// tests that run the capture logic without real time, processes or a window.
#pragma once

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "buffer_allocator.h"
#include "capture_timer.h"
#include "clock.h"
#include "converter_launcher.h"
#include "sleeper.h"

namespace tessel::testing {

// Time stands still unless the test moves `now`. Local time is UTC, so stamps do not depend
// on the machine's time zone.
class FakeClock final : public Clock {
public:
    int64_t Now() const override { return now; }
    std::tm LocalTime(int64_t seconds) const override;

    int64_t now = 939976205;  // 1999-10-15 08:30:05 UTC
};

// Records pauses instead of sleeping; `onSleep` lets a test move its clock meanwhile.
class RecordingSleeper final : public Sleeper {
public:
    void Sleep(uint32_t milliseconds) override;

    std::vector<uint32_t> pauses;
    std::function<void(uint32_t)> onSleep;
};

class RecordingLauncher final : public ConverterLauncher {
public:
    void Start(const std::string& parameters) override { starts.push_back(parameters); }

    std::vector<std::string> starts;
};

// Keeps the one pending wait, as a window timer does, and a log of arm and kill calls.
class RecordingTimer final : public CaptureTimer {
public:
    struct Event {
        bool arm;
        uint32_t id;
        uint32_t milliseconds;  // 0 for a kill
        bool operator==(const Event&) const = default;
    };

    void Arm(uint32_t id, uint32_t milliseconds) override;
    void Kill(uint32_t id) override;

    std::vector<Event> events;
    // The pending wait of the capture timer, if armed.
    std::optional<uint32_t> pending;
};

}  // namespace tessel::testing

namespace tessel::testing {

// Heap buffers, or none when `failing` is set.
class ScriptedAllocator final : public BufferAllocator {
public:
    std::unique_ptr<uint8_t[]> Allocate(uint32_t size) override;

    bool failing = false;
    std::vector<uint32_t> requests;
};

}  // namespace tessel::testing
