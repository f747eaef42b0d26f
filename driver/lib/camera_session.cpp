#include "camera_session.h"

#include <cstdio>
#include <string>
#include <thread>

#include "camera_error.h"
#include "dc25v20.h"
#include "rawformat/raw_layout.h"

namespace dc25 {

namespace {

// After the power-up speed, the speeds a crashed session may have left the camera at, the
// fastest (and most likely) first.
constexpr int kProbeOrder[] = {9600, 115200, 57600, 38400, 19200};

const char* ModelName(dc2x::Model m) { return m == dc2x::Model::Dc20 ? "DC20" : "DC25"; }

std::size_t PictureBlocks(std::span<const uint8_t> firstBlock) {
    const uint8_t resolution = firstBlock[rawformat::kHeaderResolutionByte];
    if (resolution > 1) {
        throw CameraError(DC25_E_REFUSED, "picture header names resolution " + std::to_string(resolution));
    }
    return rawformat::LayoutFor(static_cast<rawformat::Resolution>(resolution)).totalBytes / dc2x::kBlockBytes;
}

}  // namespace

CameraSession::CameraSession(std::unique_ptr<SerialPort> port, dc2x::Model expected, int targetBaud,
                             const Timeouts& timeouts)
    : port_(std::move(port)), link_(*port_, timeouts), model_(expected) {
    BringUp(targetBaud);
    CameraStatus status;
    try {
        status = QueryStatus();
    } catch (const CameraError&) {
        // Leave the camera where the next session looks first.
        try {
            RestorePowerUpSpeed();
        } catch (const CameraError&) {
        }
        throw;
    }
    if (status.modelKnown && status.model != expected) {
        std::fprintf(stderr, "dc25v20: %s selected but a %s is attached on %s; using the %s's protocol\n",
                     ModelName(expected), ModelName(status.model), port_->path().c_str(), ModelName(status.model));
        model_ = status.model;
    }
}

bool CameraSession::TrySpeed(int baud, const dc2x::LineSpeed& target) {
    port_->SetSpeed(baud);
    link_.Send(dc2x::Command::SetSpeed, target.codeA, target.codeB);
    uint8_t reply = 0;
    return link_.TryReadByte(reply, link_.timeouts().probeReply) && reply == dc2x::kAccepted;
}

void CameraSession::BringUp(int targetBaud) {
    const dc2x::LineSpeed target = *dc2x::SpeedByBaud(targetBaud);
    for (int baud : kProbeOrder) {
        // The camera answers at its old speed and changes only afterwards.
        if (TrySpeed(baud, target)) {
            port_->SetSpeed(targetBaud);
            return;
        }
    }
    throw CameraError(DC25_E_NO_ANSWER, "no camera answers on " + port_->path());
}

CameraStatus CameraSession::QueryStatus() {
    link_.Send(dc2x::Command::GetStatus);
    link_.Expect(dc2x::kAccepted, link_.timeouts().reply, "status");
    const std::vector<uint8_t> reply = link_.ReceiveBlocks(dc2x::kStatusBytes, [](auto) { return 1; });
    return ParseStatus(reply, model_);
}

// A DC20 sends the snap's D1 at the power-up speed whatever speed is set, and its 00 at the
// set speed again. A refusal does not come as that D1: the host goes back to the set speed
// whatever it read, so that it stays in step with the camera, and asks for the status to tell
// a refusal (the camera answers) from a camera that is gone.
void CameraSession::SnapDc20() {
    const int setBaud = port_->baud();
    link_.Send(dc2x::Command::Snap);
    if (setBaud == dc2x::kPowerUpBaud) {
        link_.Expect(dc2x::kAccepted, link_.timeouts().reply, "snap");
    } else {
        port_->Drain();
        port_->SetSpeed(dc2x::kPowerUpBaud, /*discardInput=*/false);
        uint8_t reply = 0;
        const bool answered = link_.TryReadByte(reply, link_.timeouts().reply);
        port_->SetSpeed(setBaud, /*discardInput=*/false);
        if (!answered || reply != dc2x::kAccepted) {
            QueryStatus();
            throw CameraError(DC25_E_REFUSED, "snap not accepted");
        }
    }
    link_.Expect(dc2x::kDone, link_.timeouts().slowAction, "snap completion");
}

// A DC25 needs a pause after the snap's D1 before it is waited on for the 00.
void CameraSession::SnapDc25() {
    link_.Send(dc2x::Command::Snap);
    link_.Expect(dc2x::kAccepted, link_.timeouts().reply, "snap");
    std::this_thread::sleep_for(link_.timeouts().dc25SnapPause);
    link_.Expect(dc2x::kDone, link_.timeouts().slowAction, "snap completion");
}

TakenPicture CameraSession::Take() {
    const CameraStatus before = QueryStatus();
    if (before.freeAtResolution <= 0) throw CameraError(DC25_E_REFUSED, "camera memory is full");
    if (model_ == dc2x::Model::Dc20) {
        SnapDc20();
    } else {
        SnapDc25();
    }
    const CameraStatus after = QueryStatus();
    if (after.pictures <= before.pictures) throw CameraError(DC25_E_REFUSED, "camera stored no picture");
    return {after.pictures, after.resolution};
}

std::vector<uint8_t> CameraSession::DownloadPicture(int number) {
    link_.Send(dc2x::Command::GetPicture, 0, static_cast<uint8_t>(number));
    link_.Expect(dc2x::kAccepted, link_.timeouts().reply, "picture request");
    return link_.ReceiveBlocks(dc2x::kBlockBytes, PictureBlocks);
}

void CameraSession::Erase(int number) {
    link_.Send(dc2x::Command::Erase, 0, static_cast<uint8_t>(number));
    link_.Expect(dc2x::kAccepted, link_.timeouts().reply, "erase");
    link_.Expect(dc2x::kDone, link_.timeouts().slowAction, "erase completion");
}

void CameraSession::RestorePowerUpSpeed() {
    const dc2x::LineSpeed powerUp = *dc2x::SpeedByBaud(dc2x::kPowerUpBaud);
    link_.Send(dc2x::Command::SetSpeed, powerUp.codeA, powerUp.codeB);
    link_.Expect(dc2x::kAccepted, link_.timeouts().reply, "speed reset");
    port_->SetSpeed(dc2x::kPowerUpBaud);
}

}  // namespace dc25
