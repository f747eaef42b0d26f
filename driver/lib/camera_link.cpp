#include "camera_link.h"

#include <string>
#include <thread>

#include "camera_error.h"
#include "dc25v20.h"

namespace dc25 {

namespace {

std::string Hex(uint8_t b) {
    static constexpr char kDigits[] = "0123456789abcdef";
    return {kDigits[b >> 4], kDigits[b & 0xF]};
}

}  // namespace

void CameraLink::Send(dc2x::Command code, uint8_t a, uint8_t b) {
    port_.DiscardInput();
    std::this_thread::sleep_for(timeouts_.commandPause);
    const dc2x::CommandBytes command = dc2x::MakeCommand(code, a, b);
    port_.Write(command);
}

bool CameraLink::TryReadByte(uint8_t& byte, std::chrono::milliseconds wait) {
    return port_.Read(std::span<uint8_t>(&byte, 1), wait) == 1;
}

void CameraLink::Expect(uint8_t expected, std::chrono::milliseconds wait, const char* what) {
    uint8_t byte = 0;
    if (!TryReadByte(byte, wait)) {
        throw CameraError(DC25_E_NO_ANSWER, std::string("no reply to ") + what);
    }
    if (byte != expected) {
        throw CameraError(DC25_E_REFUSED, std::string(what) + " answered " + Hex(byte) + " instead of " + Hex(expected));
    }
}

void CameraLink::SendByte(uint8_t byte) { port_.Write(std::span<const uint8_t>(&byte, 1)); }

void CameraLink::ReceiveOneBlock(std::span<uint8_t> block, std::size_t index) {
    for (int attempt = 1;; ++attempt) {
        const std::size_t got = port_.Read(block, timeouts_.blockSilence);
        if (got == 0) {
            throw CameraError(DC25_E_NO_ANSWER, "no data for block " + std::to_string(index + 1));
        }
        const auto data = block.first(block.size() - 1);
        if (got == block.size() && dc2x::Checksum(data) == block.back()) return;
        if (attempt == kBlockTries) {
            throw CameraError(DC25_E_CHECKSUM, "block " + std::to_string(index + 1) + " still bad after " +
                                                   std::to_string(kBlockTries) + " tries");
        }
        // Whatever is still in flight belongs to the bad try: drop it, then ask again.
        port_.DiscardInput();
        SendByte(dc2x::kBlockBad);
    }
}

std::vector<uint8_t> CameraLink::ReceiveBlocks(std::size_t blockBytes, const BlockCount& blockCount) {
    std::vector<uint8_t> block(blockBytes + 1);
    std::vector<uint8_t> data;
    std::size_t total = 1;
    for (std::size_t index = 0; index < total; ++index) {
        ReceiveOneBlock(block, index);
        if (index == 0) {
            total = blockCount(std::span<const uint8_t>(block.data(), blockBytes));
            data.reserve(total * blockBytes);
        }
        data.insert(data.end(), block.begin(), block.end() - 1);
        SendByte(dc2x::kBlockGood);
    }
    Expect(dc2x::kDone, timeouts_.reply, "end of data");
    return data;
}

}  // namespace dc25
