// The driver's reading of a camera's status reply, for either model assumed. The reply always
// has its full 256 bytes (the block reader sees to that), so shorter inputs are padded.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>

#include "camera_status.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, std::size_t size) {
    std::array<uint8_t, dc2x::kStatusBytes> reply{};
    std::copy_n(data, std::min(size, reply.size()), reply.begin());
    for (const dc2x::Model assumed : {dc2x::Model::Dc20, dc2x::Model::Dc25}) {
        const dc25::CameraStatus status = dc25::ParseStatus(reply, assumed);
        if (status.pictures < 0 || status.freeAtResolution < 0 || (status.resolution != 0 && status.resolution != 1)) {
            __builtin_trap();
        }
        if (!status.modelKnown && status.model != assumed) __builtin_trap();
    }
    return 0;
}
