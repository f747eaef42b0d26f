#include "pseudo_terminal.h"

#include <fcntl.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "dc2x/protocol.h"

namespace dc2x {

namespace {

[[noreturn]] void Fail(const char* what) { throw std::system_error(errno, std::generic_category(), what); }

}  // namespace

PseudoTerminal::PseudoTerminal() {
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (master_ < 0) Fail("posix_openpt");
    if (::grantpt(master_) != 0 || ::unlockpt(master_) != 0) Fail("grantpt/unlockpt");
    const char* name = ::ptsname(master_);
    if (name == nullptr) Fail("ptsname");
    slavePath_ = name;
    slave_ = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (slave_ < 0) Fail("open slave");
    // Until the host sets its own mode, the line carries bytes unchanged.
    termios tio{};
    if (::tcgetattr(slave_, &tio) != 0) Fail("tcgetattr");
    ::cfmakeraw(&tio);
    ::cfsetispeed(&tio, B9600);
    ::cfsetospeed(&tio, B9600);
    if (::tcsetattr(slave_, TCSANOW, &tio) != 0) Fail("tcsetattr");
    const int flags = ::fcntl(master_, F_GETFL);
    if (flags < 0 || ::fcntl(master_, F_SETFL, flags | O_NONBLOCK) != 0) Fail("fcntl");
}

PseudoTerminal::~PseudoTerminal() { HangUp(); }

void PseudoTerminal::HangUp() {
    if (master_ >= 0) ::close(master_);
    if (slave_ >= 0) ::close(slave_);
    master_ = slave_ = -1;
}

HostLineSettings PseudoTerminal::HostSettings() const {
    termios tio{};
    if (slave_ < 0 || ::tcgetattr(slave_, &tio) != 0) return {};
    return {BaudOfTermiosSpeed(::cfgetospeed(&tio)), (tio.c_cflag & CSIZE) == CS8};
}

}  // namespace dc2x
