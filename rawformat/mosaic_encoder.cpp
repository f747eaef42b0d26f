#include "rawformat/mosaic_encoder.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <stdexcept>

namespace rawformat {
namespace {

// Black is recorded as a pedestal rather than as zero: every primary starts at a level that the
// converter's white balance turns into (nearly) the same value in all three components, so that
// the converter's black point removes it without tinting dark colours. Of the pedestals that keep
// every sum of black at 2 or more (where the converter's ratios are safe), this one rounds to the
// most neutral black: sums 19, 18, 16 and 21, within 0.02 of grey after white balance.
constexpr double kPedestal = 3.5;
// Largest sum the sensor can record, for white (2R + G + B after undoing the white balance,
// pedestal included): scaled so it stays just below 255.
constexpr double kLargestSum = 2.0 / kWhiteBalanceRed + 1.0 / kWhiteBalanceGreen + 1.0 / kWhiteBalanceBlue;
constexpr double kScale = 253.0 / kLargestSum - kPedestal;

// Camera-space primaries of a display colour: undo the gamma, then the white balance.
std::array<double, 3> SensorPrimaries(const uint8_t* rgb) {
    auto linear = [](uint8_t v) { return kPedestal + kScale * std::pow(v / 255.0, 1.0 / kDefaultGamma); };
    return {linear(rgb[0]) / kWhiteBalanceRed, linear(rgb[1]) / kWhiteBalanceGreen,
            linear(rgb[2]) / kWhiteBalanceBlue};
}

// Scene coordinate for a sensor cell: computed cells spread evenly over the scene, margin
// cells repeat the nearest edge.
int SceneCoordinate(int cell, int first, int count, int sceneSize) {
    const int inside = std::clamp(cell - first, 0, count - 1);
    return std::min(sceneSize - 1, static_cast<int>((inside + 0.5) * sceneSize / count));
}

// The reading of one cell. Three sums are rounded and the fourth follows from the others, so
// that (R+G+2B) + (R+2G) = (2G+B) + (2R+G+B) holds in whole numbers, as the converter assumes.
uint8_t CellReading(const std::array<double, 3>& p, CellSum type) {
    auto rounded = [&](CellSum s) {
        const SumWeights w = WeightsOf(s);
        return std::lround(w.red * p[0] + w.green * p[1] + w.blue * p[2]);
    };
    const long reading = type == CellSum::TwoRedGreenBlue
                             ? rounded(CellSum::RedGreenTwoBlue) + rounded(CellSum::RedTwoGreen) - rounded(CellSum::TwoGreenBlue)
                             : rounded(type);
    return static_cast<uint8_t>(std::clamp(reading, 0L, 255L));
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
            out[column] = CellReading(SensorPrimaries(scene.pixel(sx, sy)), CellAt(line, column));
        }
    }
    return raw;
}

}  // namespace rawformat
