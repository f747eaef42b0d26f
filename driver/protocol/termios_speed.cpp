#include <termios.h>

#include "dc2x/protocol.h"

namespace dc2x {

namespace {
struct SpeedPair {
    int baud;
    speed_t constant;
};
constexpr std::array<SpeedPair, 5> kTermiosSpeeds{{
    {9600, B9600}, {19200, B19200}, {38400, B38400}, {57600, B57600}, {115200, B115200},
}};
}  // namespace

unsigned TermiosSpeed(int baud) {
    for (const SpeedPair& p : kTermiosSpeeds) {
        if (p.baud == baud) return p.constant;
    }
    return 0;
}

int BaudOfTermiosSpeed(unsigned speed) {
    for (const SpeedPair& p : kTermiosSpeeds) {
        if (p.constant == speed) return p.baud;
    }
    return 0;
}

}  // namespace dc2x
