#include "capture_format_choice.h"

#include <algorithm>
#include <cstdlib>
#include <tuple>

namespace tessel::camera_sources {
namespace {

long Area(const VideoSize& size) { return static_cast<long>(size.width) * size.height; }

bool FitsDefault(const VideoSize& size) {
    return size.width <= kLargestDefaultSize.width && size.height <= kLargestDefaultSize.height;
}

// `wanted` within [smallest, largest], on the range's step from `smallest`, rounded down or to
// the nearest step.
int OnStep(int wanted, int smallest, int largest, int step, bool nearest) {
    const int clamped = std::clamp(wanted, smallest, largest);
    const int steps = std::max(step, 1);
    int offset = (clamped - smallest) / steps;
    if (nearest && (clamped - smallest) % steps * 2 >= steps && smallest + (offset + 1) * steps <= largest) ++offset;
    return smallest + offset * steps;
}

}  // namespace

std::vector<VideoSize> CandidateSizes(const SizeRange& range, const std::optional<VideoSize>& asked) {
    std::vector<VideoSize> sizes;
    sizes.push_back({OnStep(kLargestDefaultSize.width, range.smallest.width, range.largest.width, range.widthStep, false),
                     OnStep(kLargestDefaultSize.height, range.smallest.height, range.largest.height, range.heightStep,
                            false)});
    if (asked) {
        const VideoSize nearest{
            OnStep(asked->width, range.smallest.width, range.largest.width, range.widthStep, true),
            OnStep(asked->height, range.smallest.height, range.largest.height, range.heightStep, true)};
        if (nearest != sizes.front()) sizes.push_back(nearest);
    }
    return sizes;
}

std::optional<OfferedSize> ChooseCapture(const std::vector<OfferedSize>& offers, const std::optional<VideoSize>& asked) {
    if (offers.empty()) return std::nullopt;
    // Smaller keys are better.
    const auto key = [&](const OfferedSize& offer) {
        const int mjpegFirst = offer.format == CaptureFormat::Mjpeg ? 0 : 1;
        if (asked) {
            const int distance = std::abs(offer.size.width - asked->width) + std::abs(offer.size.height - asked->height);
            return std::make_tuple(0, static_cast<long>(distance), mjpegFirst, -Area(offer.size));
        }
        if (FitsDefault(offer.size)) return std::make_tuple(0, -Area(offer.size), mjpegFirst, 0L);
        return std::make_tuple(1, Area(offer.size), mjpegFirst, 0L);
    };
    return *std::min_element(offers.begin(), offers.end(),
                             [&](const OfferedSize& a, const OfferedSize& b) { return key(a) < key(b); });
}

}  // namespace tessel::camera_sources
