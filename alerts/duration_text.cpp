#include "duration_text.h"

#include <cstdio>

namespace tessel::alerts {

std::string DurationText(std::chrono::steady_clock::duration duration)
{
    char text[32];
    std::snprintf(text, sizeof text, "%g s", std::chrono::duration<double>(duration).count());
    return text;
}

}  // namespace tessel::alerts
