// The one monotonic deadline of a grab, and the interrupt callback through which libavformat's
// blocking calls (connect, reads, replies awaited) give up when it passes.
#pragma once

#include <chrono>
#include <cstdio>
#include <string>

extern "C" {
#include <libavformat/avio.h>
}

namespace tessel::camera_sources {

class Deadline {
public:
    explicit Deadline(std::chrono::milliseconds budget)
        : budget_(budget), end_(std::chrono::steady_clock::now() + budget) {}
    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    bool Passed() const { return std::chrono::steady_clock::now() >= end_; }
    std::chrono::steady_clock::time_point End() const { return end_; }
    // The budget as text for reasons: "10 s", "2.5 s".
    std::string BudgetText() const {
        char text[32];
        std::snprintf(text, sizeof text, "%g s", static_cast<double>(budget_.count()) / 1000.0);
        return text;
    }

    // Refers to this object, which must outlive every FFmpeg context given the callback.
    AVIOInterruptCB InterruptCallback() const { return AVIOInterruptCB{&Deadline::Interrupt, const_cast<Deadline*>(this)}; }

private:
    static int Interrupt(void* self) { return static_cast<const Deadline*>(self)->Passed() ? 1 : 0; }

    std::chrono::milliseconds budget_;
    std::chrono::steady_clock::time_point end_;
};

}  // namespace tessel::camera_sources
