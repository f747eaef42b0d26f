// One open camera: the port, the speed brought up at open, and the protocol operations the
// library's calls are made of. Each operation either completes or throws CameraError.
#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "camera_link.h"
#include "camera_status.h"
#include "serial_port.h"
#include "timeouts.h"

namespace dc25 {

struct TakenPicture {
    int number = 0;      // 1-based
    int resolution = 0;  // 0 high, 1 low
};

class CameraSession {
public:
    // Finds the camera on `port` (first at the power-up speed, then at the others, as a
    // session that died without restoring the speed leaves it), brings it to `targetBaud` and
    // reads its status. Throws DC25_E_NO_ANSWER when no speed gets an answer.
    CameraSession(std::unique_ptr<SerialPort> port, dc2x::Model expected, int targetBaud, const Timeouts& timeouts);

    dc2x::Model model() const { return model_; }
    int baud() const { return port_->baud(); }

    CameraStatus QueryStatus();
    // Snaps a picture and learns its number and resolution. Throws DC25_E_REFUSED when the
    // camera has no room or stored nothing.
    TakenPicture Take();
    // The picture as the camera sends it, header included; its block count comes from the
    // resolution in header byte 4.
    std::vector<uint8_t> DownloadPicture(int number);
    // Erases picture `number`, or all pictures when it is 0.
    void Erase(int number);
    // Sets the camera back to the power-up speed so that the next session finds it there.
    void RestorePowerUpSpeed();

private:
    void BringUp(int targetBaud);
    bool TrySpeed(int baud, const dc2x::LineSpeed& target);
    void SnapDc20();
    void SnapDc25();

    std::unique_ptr<SerialPort> port_;
    CameraLink link_;
    dc2x::Model model_;
};

}  // namespace dc25
