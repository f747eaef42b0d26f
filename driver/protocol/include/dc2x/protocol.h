// The DC20/DC25 serial protocol as both ends speak it: command and reply bytes, line speeds,
// data block sizes and the status reply's layout. Shared by the driver library (host side) and
// the camera emulator (camera side), so that both agree on every constant by construction.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

namespace dc2x {

// Command codes, byte 0 of every 8-byte command.
enum class Command : uint8_t {
    SetSpeed = 0x41,       // parameters A, B: speed code
    GetStatus = 0x7F,
    Snap = 0x77,
    SetResolution = 0x71,  // A: 0 high, 1 low
    SetFlash = 0x72,       // A: 0 auto, 1 on, 2 off (DC25)
    Erase = 0x7A,          // B: 0 all, n picture n (DC25)
    GetThumbnail = 0x56,   // B: picture number
    GetPicture = 0x51,     // B: picture number
};

// Single bytes on the line.
inline constexpr uint8_t kAccepted = 0xD1;      // camera: command accepted
inline constexpr uint8_t kDone = 0x00;          // camera: action finished / end of data
inline constexpr uint8_t kErrorTimeout = 0xE1;  // camera: cannot do it now
inline constexpr uint8_t kErrorUnknown = 0xE2;  // camera: unknown command
inline constexpr uint8_t kBlockGood = 0xD2;     // host: block good, send the next
inline constexpr uint8_t kBlockBad = 0xE3;      // host: block bad, send it again
inline constexpr uint8_t kTerminator = 0x1A;    // last byte of every command

inline constexpr std::size_t kCommandBytes = 8;
inline constexpr std::size_t kStatusBytes = 256;
inline constexpr std::size_t kBlockBytes = 1024;  // picture and thumbnail blocks

// 8E1 framing: start bit, 8 data bits, parity, stop bit.
inline constexpr int kBitsPerByte = 11;

using CommandBytes = std::array<uint8_t, kCommandBytes>;

constexpr CommandBytes MakeCommand(Command code, uint8_t a = 0, uint8_t b = 0) {
    return {static_cast<uint8_t>(code), 0, a, b, 0, 0, 0, kTerminator};
}

// XOR of all bytes: the checksum that follows every data block.
constexpr uint8_t Checksum(std::span<const uint8_t> data) {
    uint8_t x = 0;
    for (uint8_t b : data) x ^= b;
    return x;
}

// A line speed and its code in the set-speed command: the first four decimal digits of the
// baud rate as BCD.
struct LineSpeed {
    int baud;
    uint8_t codeA;
    uint8_t codeB;
};

inline constexpr int kPowerUpBaud = 9600;
inline constexpr std::array<LineSpeed, 5> kLineSpeeds{{
    {9600, 0x96, 0x00},
    {19200, 0x19, 0x20},
    {38400, 0x38, 0x40},
    {57600, 0x57, 0x60},
    {115200, 0x11, 0x52},
}};

constexpr std::optional<LineSpeed> SpeedByBaud(int baud) {
    for (const LineSpeed& s : kLineSpeeds) {
        if (s.baud == baud) return s;
    }
    return std::nullopt;
}

constexpr std::optional<LineSpeed> SpeedByCode(uint8_t a, uint8_t b) {
    for (const LineSpeed& s : kLineSpeeds) {
        if (s.codeA == a && s.codeB == b) return s;
    }
    return std::nullopt;
}

// termios speed constant of a supported baud rate, and back (0 for anything else).
unsigned TermiosSpeed(int baud);
int BaudOfTermiosSpeed(unsigned speed);

// Seconds the line needs to carry `bytes` at `baud`.
constexpr double LineSeconds(std::size_t bytes, int baud) {
    return static_cast<double>(bytes) * kBitsPerByte / baud;
}

// The two camera models, by the id they report at status offset 1.
enum class Model : uint8_t { Dc20 = 0x20, Dc25 = 0x25 };

constexpr int ThumbnailBlocks(Model m) { return m == Model::Dc20 ? 5 : 15; }
inline constexpr int kThumbnailWidth = 80;
inline constexpr int kThumbnailHeight = 60;

// Status reply offsets.
namespace status {
inline constexpr std::size_t kModel = 1;
inline constexpr std::size_t kFirmwareMajor = 2;
inline constexpr std::size_t kFirmwareMinor = 3;
inline constexpr std::size_t kLowBattery = 29;
// DC20: 16-bit big-endian counts, current resolution.
inline constexpr std::size_t kDc20Taken = 8;
inline constexpr std::size_t kDc20Remaining = 10;
inline constexpr std::size_t kDc20Resolution = 23;
// DC25: one-byte counts per resolution (low at 17, high at 19 as the emulator serves them;
// readers use only their sum), free slots per resolution, current resolution and flash mode.
inline constexpr std::size_t kDc25Flash = 9;
inline constexpr std::size_t kDc25Resolution = 11;
inline constexpr std::size_t kDc25TakenLow = 17;
inline constexpr std::size_t kDc25TakenHigh = 19;
inline constexpr std::size_t kDc25FreeHigh = 21;
inline constexpr std::size_t kDc25FreeLow = 23;
}  // namespace status

}  // namespace dc2x
