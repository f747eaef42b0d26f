// The emulator's end of the serial line: the master side of a pseudo-terminal, plus a
// descriptor of the slave side kept open to read the line settings the host has made.
// A pseudo-terminal keeps the speed the host sets but not the parity, so the host's speed and
// character size can be checked, its parity cannot.
#pragma once

#include <string>

namespace dc2x {

struct HostLineSettings {
    int baud = 0;        // 0: a speed the cameras do not know
    bool eightBits = false;
};

class PseudoTerminal {
public:
    PseudoTerminal();  // throws std::system_error
    ~PseudoTerminal();
    PseudoTerminal(const PseudoTerminal&) = delete;
    PseudoTerminal& operator=(const PseudoTerminal&) = delete;

    int master() const { return master_; }
    const std::string& slavePath() const { return slavePath_; }
    HostLineSettings HostSettings() const;
    bool open() const { return master_ >= 0; }
    // Closes both sides: the host sees a hang-up, as when an adapter is unplugged.
    void HangUp();

private:
    int master_ = -1;
    int slave_ = -1;
    std::string slavePath_;
};

}  // namespace dc2x
