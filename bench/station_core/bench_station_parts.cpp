#include "bench_station_parts.h"

#include <malloc.h>

#include <cstdlib>
#include <fstream>

#include "control_ids.h"

namespace tessel::bench {

std::string& SlotView::Slot(int id) const
{
    return id == IDC_STATUS ? status_ : id == IDC_REFRESH ? refresh_ : message_;
}

int SlotView::ComboSlot(int id)
{
    return id == IDC_PORT ? 0 : id == IDC_SPEED ? 1 : 2;
}

Memory MeasureMemory()
{
    Memory memory;
    std::ifstream status("/proc/self/status");
    for (std::string line; std::getline(status, line);) {
        if (line.rfind("VmRSS:", 0) == 0) {
            memory.residentKiB = std::strtol(line.c_str() + 6, nullptr, 10);
        }
    }
    memory.heapInUse = mallinfo2().uordblks;
    return memory;
}

}  // namespace tessel::bench
