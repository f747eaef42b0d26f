#include "camera_status.h"

namespace dc25 {

namespace {

int BigEndian16(std::span<const uint8_t> reply, std::size_t offset) { return reply[offset] << 8 | reply[offset + 1]; }

}  // namespace

CameraStatus ParseStatus(std::span<const uint8_t> reply, dc2x::Model assumed) {
    namespace at = dc2x::status;
    CameraStatus s;
    const uint8_t id = reply[at::kModel];
    s.modelKnown = id == static_cast<uint8_t>(dc2x::Model::Dc20) || id == static_cast<uint8_t>(dc2x::Model::Dc25);
    s.model = s.modelKnown ? static_cast<dc2x::Model>(id) : assumed;
    s.lowBattery = reply[at::kLowBattery] == 1;
    if (s.model == dc2x::Model::Dc20) {
        s.pictures = BigEndian16(reply, at::kDc20Taken);
        s.freeAtResolution = BigEndian16(reply, at::kDc20Remaining);
        s.resolution = reply[at::kDc20Resolution] == 1 ? 1 : 0;
    } else {
        // Which of the two counts holds which resolution is read differently by different
        // sources; only their sum is certain.
        s.pictures = reply[at::kDc25TakenLow] + reply[at::kDc25TakenHigh];
        s.resolution = reply[at::kDc25Resolution] == 1 ? 1 : 0;
        s.freeAtResolution = s.resolution == 0 ? reply[at::kDc25FreeHigh] : reply[at::kDc25FreeLow];
    }
    return s;
}

}  // namespace dc25
