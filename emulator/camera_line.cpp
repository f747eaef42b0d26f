#include "camera_line.h"

#include <poll.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <thread>

#include "dc2x/protocol.h"

namespace dc2x {

namespace {

using Clock = std::chrono::steady_clock;

// How long a reply waits for the host to reach the camera's speed.
constexpr auto kSpeedGrace = std::chrono::milliseconds(1000);
// Paced output goes out in pieces this large.
constexpr std::size_t kPaceChunk = 16;
// Longest single poll, so that a stop request is seen quickly.
constexpr int kPollSliceMs = 100;

}  // namespace

std::optional<CameraLine::Received> CameraLine::Receive(std::chrono::milliseconds wait) {
    const auto end = Clock::now() + wait;
    while (!stopping()) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()).count();
        if (left < 0) return std::nullopt;
        pollfd p{terminal_.master(), POLLIN, 0};
        const int ready = ::poll(&p, 1, static_cast<int>(std::min<long>(left, kPollSliceMs)));
        if (ready <= 0 || (p.revents & POLLIN) == 0) {
            // POLLHUP without data: no host has the line open; wait as for silence.
            if (ready > 0) std::this_thread::sleep_for(std::chrono::milliseconds(5));
            continue;
        }
        uint8_t byte = 0;
        if (::read(terminal_.master(), &byte, 1) == 1) return Received{byte, terminal_.HostSettings()};
    }
    return std::nullopt;
}

void CameraLine::IgnoreInputFor(std::chrono::milliseconds duration) {
    const auto end = Clock::now() + duration;
    while (!stopping() && Clock::now() < end) {
        Receive(std::chrono::duration_cast<std::chrono::milliseconds>(end - Clock::now()));
    }
}

bool CameraLine::WaitForHostAt(int baud) {
    const auto end = Clock::now() + kSpeedGrace;
    while (!stopping()) {
        const HostLineSettings host = terminal_.HostSettings();
        if (host.baud == baud && host.eightBits) return true;
        if (Clock::now() >= end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return false;
}

bool CameraLine::WriteAll(std::span<const uint8_t> bytes) {
    std::size_t done = 0;
    while (done < bytes.size()) {
        if (stopping()) return false;
        const ssize_t n = ::write(terminal_.master(), bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && errno != EAGAIN && errno != EINTR) {
            return false;
        } else {
            pollfd p{terminal_.master(), POLLOUT, 0};
            ::poll(&p, 1, kPollSliceMs);
        }
    }
    return true;
}

bool CameraLine::Send(std::span<const uint8_t> bytes, int baud) {
    if (!WaitForHostAt(baud)) return false;
    if (!pace_) return WriteAll(bytes);
    // A byte takes 11 bit times on the wire; a piece may leave no earlier than the wire
    // would have carried it.
    const auto byteTime = std::chrono::duration<double>(LineSeconds(1, baud));
    lineFree_ = std::max(lineFree_, Clock::now());
    for (std::size_t at = 0; at < bytes.size(); at += kPaceChunk) {
        const auto piece = bytes.subspan(at, std::min(kPaceChunk, bytes.size() - at));
        lineFree_ += std::chrono::duration_cast<Clock::duration>(byteTime * static_cast<double>(piece.size()));
        std::this_thread::sleep_until(lineFree_);
        if (!WriteAll(piece)) return false;
    }
    return true;
}

}  // namespace dc2x
