#include "camera_emulator.h"

#include <algorithm>
#include <chrono>
#include <climits>
#include <cstdarg>
#include <cstdio>
#include <ctime>

#include "scene.h"

namespace dc2x {

namespace {

using std::chrono::milliseconds;

constexpr milliseconds kForever(24L * 3600 * 1000);
constexpr uint8_t kFirmwareMajor = 1;

void PutBigEndian16(std::vector<uint8_t>& bytes, std::size_t offset, int value) {
    bytes[offset] = static_cast<uint8_t>(value >> 8);
    bytes[offset + 1] = static_cast<uint8_t>(value & 0xFF);
}

// The thumbnail blocks' data: 80 x 60 grey (DC20) or RGB (DC25), zero padding after.
std::vector<uint8_t> MakeThumbnail(const rawformat::RgbImage& scene, Model model) {
    const rawformat::RgbImage small = Shrink(scene, kThumbnailWidth, kThumbnailHeight);
    std::vector<uint8_t> data(static_cast<std::size_t>(ThumbnailBlocks(model)) * kBlockBytes, 0);
    if (model == Model::Dc25) {
        std::copy(small.rgb.begin(), small.rgb.end(), data.begin());
        return data;
    }
    for (std::size_t i = 0; i < small.rgb.size() / 3; ++i) {
        const uint8_t* p = &small.rgb[i * 3];
        data[i] = static_cast<uint8_t>((77 * p[0] + 150 * p[1] + 29 * p[2]) >> 8);
    }
    return data;
}

}  // namespace

CameraEmulator::CameraEmulator(const EmulatorOptions& options, CameraLine& line, PseudoTerminal& terminal)
    : options_(options),
      line_(line),
      terminal_(terminal),
      memory_(options.EffectiveCapacity()),
      baud_(options.startBaud),
      resolution_(options.resolution) {
    if (!options.scenePath.empty()) fixedScene_ = ReadPpm(options.scenePath);
    while (options.full && memory_.Store(MakePicture())) {
    }
}

void CameraEmulator::Log(const char* format, ...) const {
    if (!options_.verbose) return;
    std::va_list args;
    va_start(args, format);
    std::fputs("dc2x-emulator: ", stderr);
    std::vfprintf(stderr, format, args);
    std::fputc('\n', stderr);
    va_end(args);
}

void CameraEmulator::Run() {
    while (!line_.stopping()) {
        if (stalled_) {
            line_.IgnoreInputFor(kForever);
            continue;
        }
        if (const auto command = NextCommand()) Handle(*command);
    }
}

// Bytes are heard only at the camera's speed. A DC20 at a higher speed also hears the rest of
// a snap command at 9600: the host may already have switched to hear the snap's reply.
bool CameraEmulator::Hears(const CameraLine::Received& r, const std::vector<uint8_t>& frame) const {
    if (!r.host.eightBits) return false;
    if (r.host.baud == baud_) return true;
    const uint8_t first = frame.empty() ? r.byte : frame.front();
    return options_.model == Model::Dc20 && r.host.baud == kPowerUpBaud && first == static_cast<uint8_t>(Command::Snap);
}

std::optional<CommandBytes> CameraEmulator::NextCommand() {
    std::vector<uint8_t> frame;
    while (!line_.stopping()) {
        std::optional<CameraLine::Received> r = pending_ ? pending_ : line_.Receive(kForever);
        pending_.reset();
        if (!r) continue;
        if (!Hears(*r, frame)) {
            Log("garbled byte (host at %d baud, camera at %d)", r->host.baud, baud_);
            frame.clear();
            continue;
        }
        frame.push_back(r->byte);
        if (frame.size() < kCommandBytes) continue;
        if (frame.back() != kTerminator) {
            frame.erase(frame.begin());  // out of step: look for the next terminator
            continue;
        }
        CommandBytes command{};
        std::copy(frame.begin(), frame.end(), command.begin());
        return command;
    }
    return std::nullopt;
}

void CameraEmulator::Handle(const CommandBytes& c) {
    const uint8_t code = c[0];
    const uint8_t a = c[2];
    const uint8_t b = c[3];
    Log("command %02x %02x %02x at %d baud", code, a, b, baud_);
    if (std::find(options_.refused.begin(), options_.refused.end(), code) != options_.refused.end()) {
        Reply(kErrorTimeout);
        return;
    }
    switch (static_cast<Command>(code)) {
        case Command::SetSpeed: SetSpeed(a, b); return;
        case Command::GetStatus:
            Reply(kAccepted);
            SendBlocks(Status(), false);
            return;
        case Command::Snap: Snap(); return;
        case Command::SetResolution: SetResolution(a); return;
        case Command::SetFlash: SetFlash(a); return;
        case Command::Erase: Erase(b); return;
        case Command::GetThumbnail:
        case Command::GetPicture: {
            const StoredPicture* picture = memory_.Find(b);
            if (picture == nullptr) {
                Reply(kErrorTimeout);
                return;
            }
            Reply(kAccepted);
            const bool full = static_cast<Command>(code) == Command::GetPicture;
            SendBlocks(full ? picture->raw : picture->thumbnail, full);
            return;
        }
    }
    Reply(kErrorUnknown);
}

void CameraEmulator::SetSpeed(uint8_t a, uint8_t b) {
    const std::optional<LineSpeed> speed = SpeedByCode(a, b);
    if (!speed) {
        Reply(kErrorUnknown);
        return;
    }
    Reply(kAccepted);  // still at the old speed
    baud_ = speed->baud;
    Log("speed now %d", baud_);
}

void CameraEmulator::Busy(int milliseconds) { line_.IgnoreInputFor(std::chrono::milliseconds(milliseconds)); }

StoredPicture CameraEmulator::MakePicture() const {
    const rawformat::Layout layout = rawformat::LayoutFor(resolution_);
    const rawformat::RgbImage scene =
        fixedScene_ ? *fixedScene_ : ClockScene(std::time(nullptr), layout.outputWidth, layout.outputHeight);
    return {resolution_, rawformat::EncodeScene(scene, resolution_), MakeThumbnail(scene, options_.model)};
}

void CameraEmulator::Snap() {
    if (memory_.FreeAt(resolution_) == 0) {
        Reply(kErrorTimeout);
        return;
    }
    if (options_.model == Model::Dc20) {
        // A DC20 answers the snap at the power-up speed whatever speed is set.
        const uint8_t accepted = kAccepted;
        if (!line_.Send(std::span<const uint8_t>(&accepted, 1), kPowerUpBaud)) {
            Log("snap reply lost: the host did not listen at 9600");
        }
    } else {
        Reply(kAccepted);
    }
    memory_.Store(MakePicture());
    Busy(options_.snapMilliseconds);
    Reply(kDone);
}

void CameraEmulator::SetResolution(uint8_t value) {
    if (value > 1) {
        Reply(kErrorUnknown);
        return;
    }
    if (options_.model == Model::Dc20 && memory_.count() > 0) {
        Reply(kErrorTimeout);
        return;
    }
    Reply(kAccepted);
    resolution_ = static_cast<rawformat::Resolution>(value);
    Reply(kDone);
}

void CameraEmulator::SetFlash(uint8_t value) {
    if (options_.model == Model::Dc20 || value > 2) {
        Reply(kErrorUnknown);
        return;
    }
    Reply(kAccepted);
    flash_ = value;
    Reply(kDone);
}

void CameraEmulator::Erase(uint8_t number) {
    if (number != 0 && options_.model == Model::Dc20) {
        Reply(kErrorUnknown);
        return;
    }
    if (number != 0 && memory_.Find(number) == nullptr) {
        Reply(kErrorTimeout);
        return;
    }
    Reply(kAccepted);
    Busy(options_.eraseMilliseconds);
    if (number == 0) {
        memory_.EraseAll();
    } else {
        memory_.Erase(number);
    }
    Reply(kDone);
}

std::vector<uint8_t> CameraEmulator::Status() const {
    namespace at = status;
    std::vector<uint8_t> s(kStatusBytes, 0);
    s[at::kModel] = static_cast<uint8_t>(options_.model);
    s[at::kFirmwareMajor] = kFirmwareMajor;
    const uint8_t resolution = static_cast<uint8_t>(resolution_);
    if (options_.model == Model::Dc20) {
        PutBigEndian16(s, at::kDc20Taken, memory_.count());
        PutBigEndian16(s, at::kDc20Remaining, memory_.FreeAt(resolution_));
        s[at::kDc20Resolution] = resolution;
        return s;
    }
    s[0] = 1;
    s[at::kDc25Flash] = flash_;
    s[at::kDc25Resolution] = resolution;
    s[at::kDc25TakenLow] = static_cast<uint8_t>(memory_.CountAt(rawformat::Resolution::Low));
    s[at::kDc25TakenHigh] = static_cast<uint8_t>(memory_.CountAt(rawformat::Resolution::High));
    s[at::kDc25FreeHigh] = static_cast<uint8_t>(memory_.FreeAt(rawformat::Resolution::High));
    s[at::kDc25FreeLow] = static_cast<uint8_t>(memory_.FreeAt(rawformat::Resolution::Low));
    return s;
}

bool CameraEmulator::SendBlock(std::vector<uint8_t> block, bool picture, int number) {
    block.push_back(Checksum(block));
    if (picture && number == options_.corruptBlock && corruptionsDone_ < options_.corruptTimes) {
        ++corruptionsDone_;
        block[0] ^= 0x5A;
        Log("block %d sent corrupt (%d of %d)", number, corruptionsDone_, options_.corruptTimes);
    }
    std::span<const uint8_t> out(block);
    const long limit = std::min(options_.stallAfter < 0 ? LONG_MAX : options_.stallAfter,
                                options_.hangUpAfter < 0 ? LONG_MAX : options_.hangUpAfter);
    const bool faultHere = picture && pictureBytesSent_ + static_cast<long>(out.size()) >= limit;
    if (faultHere) out = out.first(static_cast<std::size_t>(limit - pictureBytesSent_));
    if (!line_.Send(out, baud_)) return false;
    if (picture) pictureBytesSent_ += static_cast<long>(out.size());
    if (!faultHere) return true;
    if (limit == options_.hangUpAfter) {
        Log("hanging up after %ld picture bytes", pictureBytesSent_);
        terminal_.HangUp();
    } else {
        Log("falling silent after %ld picture bytes", pictureBytesSent_);
        stalled_ = true;
    }
    return false;
}

void CameraEmulator::SendBlocks(const std::vector<uint8_t>& data, bool picture) {
    const int blocks = static_cast<int>((data.size() + kBlockBytes - 1) / kBlockBytes);
    for (int i = 0; i < blocks; ++i) {
        const auto begin = data.begin() + static_cast<std::ptrdiff_t>(i) * kBlockBytes;
        const std::vector<uint8_t> block(begin, begin + std::min<std::ptrdiff_t>(kBlockBytes, data.end() - begin));
        for (;;) {
            if (!SendBlock(block, picture, i + 1)) return;
            std::optional<CameraLine::Received> ack;
            while (!line_.stopping()) {
                ack = line_.Receive(kForever);
                if (ack && ack->host.baud == baud_ && ack->host.eightBits) break;
                ack.reset();  // nothing, or garbled by a speed mismatch
            }
            if (!ack) return;
            if (ack->byte == kBlockBad) {
                Log("block %d asked again", i + 1);
                continue;
            }
            if (ack->byte == kBlockGood) break;
            Log("transfer abandoned at block %d", i + 1);
            pending_ = ack;
            return;
        }
    }
    Reply(kDone);
}

}  // namespace dc2x
