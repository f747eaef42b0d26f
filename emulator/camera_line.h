// The emulated camera's serial line: bytes in and out of the pseudo-terminal, heard and sent
// only when the host's port is at the camera's speed, optionally paced at the line rate.
#pragma once

#include <chrono>
#include <csignal>
#include <cstdint>
#include <optional>
#include <span>

#include "pseudo_terminal.h"

namespace dc2x {

class CameraLine {
public:
    CameraLine(PseudoTerminal& terminal, bool pace, const volatile std::sig_atomic_t& stop)
        : terminal_(terminal), pace_(pace), stop_(stop) {}

    struct Received {
        uint8_t byte;
        HostLineSettings host;  // the host's settings when the byte was read
    };
    // Waits for the next byte from the host; nothing when `wait` passes or a stop is asked.
    std::optional<Received> Receive(std::chrono::milliseconds wait);
    // Sends `bytes` at `baud`. A camera's byte reaches the host intact only when the host's
    // port is at the camera's speed with 8 data bits: waits a moment for the host to get
    // there (it may be switching), and drops the bytes when it does not. Returns whether
    // they were sent.
    bool Send(std::span<const uint8_t> bytes, int baud);
    // Reads and drops whatever the host sends for `duration` (the camera is busy).
    void IgnoreInputFor(std::chrono::milliseconds duration);
    bool stopping() const { return stop_ != 0 || !terminal_.open(); }

private:
    bool WaitForHostAt(int baud);
    bool WriteAll(std::span<const uint8_t> bytes);

    PseudoTerminal& terminal_;
    bool pace_;
    const volatile std::sig_atomic_t& stop_;
    std::chrono::steady_clock::time_point lineFree_{};
};

}  // namespace dc2x
