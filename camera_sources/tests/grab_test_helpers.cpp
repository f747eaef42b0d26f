#include "grab_test_helpers.h"

#include <stdexcept>

#include "imaging/jpeg_io.h"

namespace tessel::camera_sources {

TimedGrab GrabFrom(const std::string& text, std::chrono::milliseconds timeout,
                   const std::optional<SourceCredentials>& credentials) {
    std::string error;
    const auto source = ParseSource(text, error);
    if (!source) throw std::invalid_argument(error);
    GrabSettings settings;
    settings.timeout = timeout;
    settings.credentials = credentials;
    const auto start = std::chrono::steady_clock::now();
    TimedGrab grab{Grab(*source, settings)};
    grab.took = std::chrono::steady_clock::now() - start;
    return grab;
}

RgbFrame AsRgb(const GrabbedPicture& picture) {
    if (const auto* frame = std::get_if<RgbFrame>(&picture)) return *frame;
    std::string problem;
    const auto decoded = imaging::DecodeJpeg(std::get<CameraJpeg>(picture).bytes, problem);
    if (!decoded) throw std::runtime_error("the camera's JPEG does not decode: " + problem);
    return RgbFrame{decoded->width, decoded->height, decoded->rgb};
}

MeanColour MiddleColour(const GrabbedPicture& picture) {
    const RgbFrame frame = AsRgb(picture);
    MeanColour mean;
    long count = 0;
    for (int y = frame.height * 9 / 20; y < frame.height * 11 / 20; ++y) {
        for (int x = frame.width * 9 / 20; x < frame.width * 11 / 20; ++x) {
            const uint8_t* pixel = &frame.rgb[(static_cast<std::size_t>(y) * frame.width + x) * 3];
            mean.r += pixel[0];
            mean.g += pixel[1];
            mean.b += pixel[2];
            ++count;
        }
    }
    mean.r /= count;
    mean.g /= count;
    mean.b /= count;
    return mean;
}

}  // namespace tessel::camera_sources
