#include "rawformat/mosaic_encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace rawformat {
namespace {

// Raw values start at this floor so that the converter's ratios never divide by (near) zero.
constexpr double kFloor = 2.0;
// Largest sum the sensor can record for a white scene after inverse white balance
// (2R + G + B with R = 1/0.64, G = 1/0.58, B = 1): scaled so it stays just below 255.
constexpr double kLargestSum = 2.0 / kWhiteBalanceRed + 1.0 / kWhiteBalanceGreen + 1.0 / kWhiteBalanceBlue;
constexpr double kScale = (253.0 - kFloor) / kLargestSum;

// Camera-space primaries of a display colour: undo the gamma, then the white balance.
std::array<double, 3> SensorPrimaries(const uint8_t* rgb) {
    auto linear = [](uint8_t v) { return std::pow(v / 255.0, 1.0 / kDefaultGamma); };
    return {linear(rgb[0]) / kWhiteBalanceRed, linear(rgb[1]) / kWhiteBalanceGreen,
            linear(rgb[2]) / kWhiteBalanceBlue};
}

// Scene coordinate for a sensor cell: computed cells spread evenly over the scene, margin
// cells repeat the nearest edge.
int SceneCoordinate(int cell, int first, int count, int sceneSize) {
    const int inside = std::clamp(cell - first, 0, count - 1);
    return std::min(sceneSize - 1, static_cast<int>((inside + 0.5) * sceneSize / count));
}

}  // namespace

std::vector<uint8_t> EncodeScene(const RgbImage& scene, Resolution r) {
    if (scene.width <= 0 || scene.height <= 0 ||
        scene.rgb.size() < static_cast<std::size_t>(scene.width) * scene.height * 3) {
        throw std::invalid_argument("EncodeScene: empty or short scene");
    }
    const Layout layout = LayoutFor(r);
    std::vector<uint8_t> raw(layout.totalBytes, 0);
    raw[kHeaderResolutionByte] = static_cast<uint8_t>(r);

    for (int line = 0; line < kSensorLines; ++line) {
        const int sy = SceneCoordinate(line, Layout::firstLine, Layout::computedLines, scene.height);
        uint8_t* out = raw.data() + layout.headerBytes + static_cast<std::size_t>(line) * layout.lineCells;
        for (int column = 0; column < layout.lineCells; ++column) {
            const int sx = SceneCoordinate(column, layout.leftMargin, layout.computedWidth(), scene.width);
            const auto p = SensorPrimaries(scene.pixel(sx, sy));
            const SumWeights w = WeightsOf(CellAt(line, column));
            const double sum = w.red * p[0] + w.green * p[1] + w.blue * p[2];
            out[column] = static_cast<uint8_t>(std::lround(kFloor + kScale * sum));
        }
    }
    return raw;
}

}  // namespace rawformat
