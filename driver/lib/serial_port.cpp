#include "serial_port.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "camera_error.h"
#include "dc25v20.h"
#include "dc2x/protocol.h"

namespace dc25 {

namespace {

// Longest wait for the port to take more output; a serial port that cannot take 8 bytes in
// this time is as good as gone.
constexpr int kWriteLimitMs = 2000;

int16_t OpenFailureCode(int error) {
    switch (error) {
        case EBUSY:
        case EACCES:
        case EPERM:
        case EWOULDBLOCK:
            return DC25_E_PORT_BUSY;
        default:
            return DC25_E_NO_SUCH_PORT;
    }
}

std::string Describe(const std::string& path, const char* what, int error) {
    return path + ": " + what + ": " + std::strerror(error);
}

// tcsetattr reports an error when only part of the settings could be made. A pseudo-terminal,
// for one, drops parity and then fails a repeated identical request. What matters is that the
// speed and the character size are in place.
bool SpeedTookEffect(int fd, speed_t speed) {
    if (errno != EINVAL) return false;
    termios now{};
    return ::tcgetattr(fd, &now) == 0 && ::cfgetospeed(&now) == speed && (now.c_cflag & CSIZE) == CS8;
}

}  // namespace

SerialPort::SerialPort(const std::string& path, Trace trace) : path_(path), trace_(trace) {
    fd_ = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd_ < 0) {
        const int error = errno;
        throw CameraError(OpenFailureCode(error), Describe(path, "open", error));
    }
    termios probe{};
    if (::tcgetattr(fd_, &probe) != 0) {
        const int error = errno;
        ::close(fd_);
        throw CameraError(DC25_E_NO_SUCH_PORT, Describe(path, "not a serial port", error));
    }
    // flock guards against every other process, root included; TIOCEXCL additionally makes
    // further opens of the device fail for ordinary users.
    if (::flock(fd_, LOCK_EX | LOCK_NB) != 0 || ::ioctl(fd_, TIOCEXCL) != 0) {
        const int error = errno;
        ::close(fd_);
        throw CameraError(DC25_E_PORT_BUSY, Describe(path, "lock", error));
    }
    trace_.Note("opened " + path);
}

SerialPort::~SerialPort() {
    // Clear the exclusive flag explicitly: it lasts until the device's last close, which
    // for a pseudo-terminal held open by an emulator never comes.
    ::ioctl(fd_, TIOCNXCL);
    ::flock(fd_, LOCK_UN);
    ::close(fd_);
    trace_.Note("closed " + path_);
}

void SerialPort::SetSpeed(int baud, bool discardInput) {
    termios tio{};
    if (::tcgetattr(fd_, &tio) != 0) Lost("tcgetattr");
    ::cfmakeraw(&tio);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK | ISTRIP);
    tio.c_cflag &= ~(CSIZE | PARODD | CSTOPB | CRTSCTS | HUPCL);
    tio.c_cflag |= CS8 | PARENB | CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    const speed_t speed = dc2x::TermiosSpeed(baud);
    ::cfsetispeed(&tio, speed);
    ::cfsetospeed(&tio, speed);
    if (::tcsetattr(fd_, TCSANOW, &tio) != 0 && !SpeedTookEffect(fd_, speed)) Lost("tcsetattr");
    baud_ = baud;
    if (discardInput) DiscardInput();
    trace_.Note("speed " + std::to_string(baud));
}

void SerialPort::Drain() {
    if (::tcdrain(fd_) != 0 && errno != EINTR) Lost("tcdrain");
}

void SerialPort::DiscardInput() {
    if (::tcflush(fd_, TCIFLUSH) != 0) Lost("tcflush");
}

void SerialPort::Write(std::span<const uint8_t> bytes) {
    trace_.Bytes(">", bytes);
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
            continue;
        }
        if (n < 0 && errno == EINTR) continue;
        if (n < 0 && errno != EAGAIN) Lost("write");
        pollfd p{fd_, POLLOUT, 0};
        const int ready = ::poll(&p, 1, kWriteLimitMs);
        if (ready == 0) throw CameraError(DC25_E_NO_ANSWER, path_ + ": output stalled");
        if (ready > 0 && (p.revents & (POLLERR | POLLHUP | POLLNVAL)) != 0) Lost("write");
    }
}

std::size_t SerialPort::Read(std::span<uint8_t> out, std::chrono::milliseconds silence) {
    std::size_t got = 0;
    while (got < out.size()) {
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(silence.count()));
        if (ready < 0) {
            if (errno == EINTR) continue;
            Lost("poll");
        }
        if (ready == 0) break;
        if ((p.revents & POLLIN) == 0) Lost("hang-up");
        const ssize_t n = ::read(fd_, out.data() + got, out.size() - got);
        if (n > 0) {
            trace_.Bytes("<", out.subspan(got, static_cast<std::size_t>(n)));
            got += static_cast<std::size_t>(n);
        } else if (n == 0) {
            Lost("hang-up");  // readable but empty: the line was hung up
        } else if (errno != EAGAIN && errno != EINTR) {
            Lost("read");
        }
    }
    return got;
}

void SerialPort::Lost(const char* what) const {
    const int error = errno;
    throw CameraError(DC25_E_PORT_LOST, Describe(path_, what, error));
}

}  // namespace dc25
