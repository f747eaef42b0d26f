// The one place the grabbing library uses the project's JPEG writer.
#include "picture_jpeg.h"

#include "imaging/jpeg_io.h"

namespace tessel::camera_sources {

std::vector<uint8_t> PictureAsJpeg(const GrabbedPicture& picture) {
    if (const auto* jpeg = std::get_if<CameraJpeg>(&picture)) return jpeg->bytes;
    const auto& frame = std::get<RgbFrame>(picture);
    return imaging::EncodeJpeg(imaging::Image{frame.width, frame.height, frame.rgb}, kDecodedFrameQuality);
}

}  // namespace tessel::camera_sources
