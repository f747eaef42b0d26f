// Stand-ins for the station's window, timer and pauses that keep no history, so that long
// benchmark runs measure the station and not a growing log; and the process's memory.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "capture_timer.h"
#include "sleeper.h"
#include "station_view.h"

namespace tessel::bench {

// Holds the bound controls' values in fixed slots, so the view itself does not grow.
class SlotView final : public StationView {
public:
    std::string ControlText(int id) const override { return Slot(id); }
    void SetControlText(int id, const std::string& text) override { Slot(id) = text; }
    int32_t ComboIndex(int id) const override { return combos_[ComboSlot(id)]; }
    void SetComboIndex(int id, int32_t index) override { combos_[ComboSlot(id)] = index; }
    int32_t CheckState(int) const override { return archive_; }
    void SetCheckState(int, int32_t state) override { archive_ = state; }
    void ReportInvalidField(int, const std::string&) override {}
    void RepaintNow() override {}

private:
    std::string& Slot(int id) const;
    static int ComboSlot(int id);

    mutable std::string status_, refresh_, message_;
    int32_t combos_[3] = {};
    int32_t archive_ = 0;
};

class NullTimer final : public CaptureTimer {
public:
    void Arm(uint32_t, uint32_t milliseconds) override { lastWait = milliseconds; }
    void Kill(uint32_t) override {}
    uint32_t lastWait = 0;
};

class CountingSleeper final : public Sleeper {
public:
    void Sleep(uint32_t) override { ++pauses; }
    uint64_t pauses = 0;
};

struct Memory {
    long residentKiB = 0;
    std::size_t heapInUse = 0;
};

Memory MeasureMemory();

}  // namespace tessel::bench
