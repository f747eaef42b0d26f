// The protocol's framing over a serial port: 8-byte commands, single-byte replies, and data
// blocks with XOR checksums, acknowledgements and retries.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <span>
#include <vector>

#include "dc2x/protocol.h"
#include "serial_port.h"
#include "timeouts.h"

namespace dc25 {

// A block is tried this often before the download fails.
inline constexpr int kBlockTries = 5;

class CameraLink {
public:
    CameraLink(SerialPort& port, const Timeouts& timeouts) : port_(port), timeouts_(timeouts) {}

    SerialPort& port() { return port_; }
    const Timeouts& timeouts() const { return timeouts_; }

    // Drops stray input (a late 00 would otherwise pass for the reply), pauses briefly, sends.
    void Send(dc2x::Command code, uint8_t a = 0, uint8_t b = 0);

    // Reads one byte within `wait`. Throws DC25_E_NO_ANSWER when none comes, DC25_E_REFUSED
    // when it is not `expected`.
    void Expect(uint8_t expected, std::chrono::milliseconds wait, const char* what);

    // Reads one byte within `wait`; false when none comes.
    bool TryReadByte(uint8_t& byte, std::chrono::milliseconds wait);

    // Receives the data blocks that follow a data command's D1, acknowledging each with D2 and
    // asking again with E3 for a corrupt or short one, then reads the closing 00. After the
    // first block `blockCount` says how many blocks there are in all. Returns the data without
    // checksums. Throws DC25_E_CHECKSUM when a block stays bad after kBlockTries tries,
    // DC25_E_NO_ANSWER when the camera falls silent.
    using BlockCount = std::function<std::size_t(std::span<const uint8_t> firstBlock)>;
    std::vector<uint8_t> ReceiveBlocks(std::size_t blockBytes, const BlockCount& blockCount);

private:
    void ReceiveOneBlock(std::span<uint8_t> block, std::size_t index);
    void SendByte(uint8_t byte);

    SerialPort& port_;
    Timeouts timeouts_;
};

}  // namespace dc25
