#include "frame_check.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace tessel::camera_sources {
namespace {

constexpr uint8_t kMarker = 0xFF;
constexpr uint8_t kStartOfImage = 0xD8;
constexpr uint8_t kEndOfImage = 0xD9;

// The rows looked at: a decoder fills from where the data stopped to the bottom.
constexpr int kBottomRows = 8;
// Real pictures vary more than this even in a clear sky; concealed areas do not vary at all.
constexpr int kFlatSpread = 2;

struct Colour {
    int r = 0, g = 0, b = 0;
};

bool IsConcealmentGrey(const Colour& c) {
    return std::abs(c.r - c.g) <= 3 && std::abs(c.g - c.b) <= 3 && c.g >= 120 && c.g <= 140;
}

// YCbCr (0, 0, 0) in limited or full range: (0, 135, 0).
bool IsConcealmentGreen(const Colour& c) { return c.r <= 10 && c.b <= 10 && c.g >= 125 && c.g <= 145; }

// The colour of the bottom rows when they are flat.
std::optional<Colour> FlatBottomColour(const RgbFrame& frame) {
    const int rows = std::min(kBottomRows, frame.height);
    const std::size_t start = static_cast<std::size_t>(frame.height - rows) * frame.width * 3;
    std::array<uint8_t, 3> low = {255, 255, 255};
    std::array<uint8_t, 3> high = {0, 0, 0};
    for (std::size_t i = start; i + 2 < frame.rgb.size(); i += 3) {
        for (int channel = 0; channel < 3; ++channel) {
            low[channel] = std::min(low[channel], frame.rgb[i + channel]);
            high[channel] = std::max(high[channel], frame.rgb[i + channel]);
        }
    }
    for (int channel = 0; channel < 3; ++channel) {
        if (high[channel] - low[channel] > kFlatSpread) return std::nullopt;
    }
    return Colour{(low[0] + high[0]) / 2, (low[1] + high[1]) / 2, (low[2] + high[2]) / 2};
}

}  // namespace

std::optional<JpegExtent> FindWholeJpeg(std::span<const uint8_t> bytes, std::string& problem) {
    if (bytes.size() < 4 || bytes[0] != kMarker || bytes[1] != kStartOfImage) {
        problem = "not a picture: the data is not a JPEG";
        return std::nullopt;
    }
    std::size_t end = bytes.size();
    while (end > 2 && (bytes[end - 1] == 0x00 || bytes[end - 1] == kMarker)) --end;
    if (end < 4 || bytes[end - 2] != kMarker || bytes[end - 1] != kEndOfImage) {
        problem = "incomplete frame: the JPEG has no end-of-image marker (cut short)";
        return std::nullopt;
    }
    return JpegExtent{end};
}

std::optional<std::string> ConcealmentProblem(const RgbFrame& frame) {
    if (frame.width <= 0 || frame.height <= 0) return "grey frame: the frame is empty";
    const auto colour = FlatBottomColour(frame);
    if (!colour) return std::nullopt;
    if (IsConcealmentGrey(*colour)) {
        return "grey frame: the bottom rows are flat grey (the decoder had no key frame or lost data)";
    }
    if (IsConcealmentGreen(*colour)) {
        return "grey frame: the bottom rows are flat green (the frame's data ended early)";
    }
    return std::nullopt;
}

}  // namespace tessel::camera_sources
