// One serial device, opened exclusively, set to raw 8E1 without flow control. Reads wait with
// poll() and a silence limit, so no read can hang; a hang-up or I/O error (an adapter pulled
// out, an emulator gone) is reported at once as a lost port.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

#include "trace.h"

namespace dc25 {

class SerialPort {
public:
    // Opens `path` without making it the controlling terminal and locks it against every
    // other user (TIOCEXCL and flock). Throws CameraError: DC25_E_NO_SUCH_PORT when there is no
    // such serial device, DC25_E_PORT_BUSY when another program holds it or access is denied.
    SerialPort(const std::string& path, Trace trace);
    ~SerialPort();
    SerialPort(const SerialPort&) = delete;
    SerialPort& operator=(const SerialPort&) = delete;

    const std::string& path() const { return path_; }
    int baud() const { return baud_; }

    // Raw mode, 8 data bits, even parity, 1 stop bit, receiver on, modem lines ignored, no
    // flow control, at `baud`; then drops whatever input is pending, unless told to keep it
    // (for a reply that may already be on its way).
    void SetSpeed(int baud, bool discardInput = true);
    // Waits until everything written has left the port.
    void Drain();
    void DiscardInput();
    void Write(std::span<const uint8_t> bytes);
    // Reads until `out` is full or nothing arrives for `silence`. Returns the bytes read.
    std::size_t Read(std::span<uint8_t> out, std::chrono::milliseconds silence);

private:
    [[noreturn]] void Lost(const char* what) const;

    std::string path_;
    Trace trace_;
    int fd_ = -1;
    int baud_ = 0;
};

}  // namespace dc25
