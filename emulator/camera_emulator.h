// The emulated camera: answers the DC20/DC25 protocol on a camera line until stopped.
//
// Where the cameras' behaviour is not known, the emulator chooses as follows:
//  - A command it cannot carry out now is answered E1: a picture number that does not exist
//    (0 or above the count), a snap with the memory full, a DC20 set-resolution while it
//    holds pictures, and every command named with --refuse.
//  - A command it does not know is answered E2: unknown codes, a set-speed with an unknown
//    speed code (230400 included; the speed stays as it was), the flash command on a DC20,
//    a DC20 single-picture erase, and out-of-range parameters.
//  - While a snap or an erase is under way it is busy: whatever the host sends is dropped.
//  - A transfer waits for each block's acknowledgement as long as it takes; any byte other
//    than D2 or E3 ends it and is taken as the start of a new command.
//  - The status bytes not listed for a model are 0; a DC25 keeps its low-resolution count at
//    offset 17 and its high-resolution count at 19. Header bytes other than byte 4 are 0.
//  - Memory holds --capacity high-resolution pictures (default DC20 8, DC25 14), a low one
//    taking half the room, so every count stays below 256. Pictures are numbered 1..count in
//    the order taken; erasing one renumbers those after it.
//  - A snap takes --snap-ms, an erase --erase-ms; blocks follow at once (or at the line rate
//    with --pace).
//  - A DC20's snap reply goes out only once the host's port is at 9600, its 00 once the port
//    is back at the set speed: that quirk is modelled through the host's line settings.
#pragma once

#include <optional>
#include <vector>

#include "camera_line.h"
#include "camera_memory.h"
#include "dc2x/protocol.h"
#include "emulator_options.h"
#include "rawformat/mosaic_encoder.h"

namespace dc2x {

class CameraEmulator {
public:
    CameraEmulator(const EmulatorOptions& options, CameraLine& line, PseudoTerminal& terminal);

    // Answers commands until a stop is asked or the line is hung up.
    void Run();

private:
    std::optional<CommandBytes> NextCommand();
    bool Hears(const CameraLine::Received& r, const std::vector<uint8_t>& frame) const;
    void Handle(const CommandBytes& command);
    void Reply(uint8_t byte) { line_.Send(std::span<const uint8_t>(&byte, 1), baud_); }
    void Busy(int milliseconds);

    void SetSpeed(uint8_t a, uint8_t b);
    void Snap();
    void SetResolution(uint8_t value);
    void SetFlash(uint8_t value);
    void Erase(uint8_t number);
    std::vector<uint8_t> Status() const;
    StoredPicture MakePicture() const;

    // Sends `data` in blocks of 1024 with checksums, each after the host's acknowledgement of
    // the one before, then 00. `picture` marks picture data, to which the faults apply.
    void SendBlocks(const std::vector<uint8_t>& data, bool picture);
    // Sends one block; false when a fault ended the line.
    bool SendBlock(std::vector<uint8_t> block, bool picture, int number);
    void Log(const char* format, ...) const;

    EmulatorOptions options_;
    CameraLine& line_;
    PseudoTerminal& terminal_;
    CameraMemory memory_;
    std::optional<rawformat::RgbImage> fixedScene_;
    int baud_;
    rawformat::Resolution resolution_;
    uint8_t flash_ = 0;
    int corruptionsDone_ = 0;
    long pictureBytesSent_ = 0;
    bool stalled_ = false;
    std::optional<CameraLine::Received> pending_;
};

}  // namespace dc2x
