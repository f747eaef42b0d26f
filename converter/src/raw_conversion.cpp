#include "raw_conversion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "imaging/resize.h"

namespace pictrex {
namespace {

using imaging::BlankImage;
using imaging::Image;
using rawformat::CellSum;
using rawformat::Layout;

// Readings below this are raised to it, so that no ratio divides by (nearly) zero.
constexpr double kSmallestReading = 2.0;
constexpr int kRefinePasses = 3;
constexpr int kHistogramBins = 4096;

// Mean of a quantity at the neighbours i-1 and i+1 of an index in 0..n-1; at either end only the
// single inner neighbour counts.
template <typename Get>
double NeighbourMean(int i, int n, Get get) {
    if (i == 0) return get(1);
    if (i == n - 1) return get(n - 2);
    return 0.5 * (get(i - 1) + get(i + 1));
}

// The sums known for one computed line, over its computed columns. Lines are worked through in
// order and only three are held at a time, which keeps the working memory small (fresh memory
// costs more than the arithmetic here).
struct LineSums {
    std::vector<double> own;         // each cell's reading
    std::vector<double> horizontal;  // the line's other sum, estimated at each cell
    std::vector<double> intensity;   // own + horizontal: 2R + 3G + 2B on either line type
    std::vector<double> share;       // own / intensity

    explicit LineSums(int width) : own(width), horizontal(width), intensity(width), share(width) {}
};

// Each cell's estimate of its line's other sum: the neighbours' mean, then refined by carrying
// the neighbours' ratio between the two sums over to the cell (odd cells first, then even ones).
void EstimateHorizontally(LineSums& line, std::vector<double>& ratio) {
    const int width = static_cast<int>(line.own.size());
    const double* reading = line.own.data();
    double* h = line.horizontal.data();
    for (int x = 0; x < width; ++x) h[x] = NeighbourMean(x, width, [&](int n) { return reading[n]; });
    for (int pass = 0; pass < kRefinePasses; ++pass) {
        for (int parity : {1, 0}) {
            for (int x = 1 - parity; x < width; x += 2) ratio[x] = reading[x] / h[x];
            for (int x = parity; x < width; x += 2) {
                h[x] = reading[x] * NeighbourMean(x, width, [&](int n) { return ratio[n]; });
            }
        }
    }
}

void ReadLine(const RawPicture& picture, const Layout& layout, int y, LineSums& line, std::vector<double>& ratio) {
    const int width = static_cast<int>(line.own.size());
    for (int x = 0; x < width; ++x) {
        line.own[x] = std::max<double>(picture.cell(y + Layout::firstLine, x + layout.leftMargin), kSmallestReading);
    }
    EstimateHorizontally(line, ratio);
    for (int x = 0; x < width; ++x) {
        line.intensity[x] = line.own[x] + line.horizontal[x];
        line.share[x] = line.own[x] / line.intensity[x];
    }
}

// The primaries from the cell's three sums; the fourth follows from
// (R+G+2B) + (R+2G) = (2G+B) + (2R+G+B).
std::array<double, 3> Solve(CellSum type, double own, double horizontal, double vertical) {
    double b = 0, c = 0, d = 0;  // b = R+2G, c = 2G+B, d = 2R+G+B
    switch (type) {
        case CellSum::RedGreenTwoBlue: b = horizontal, c = vertical, d = own + horizontal - vertical; break;
        case CellSum::RedTwoGreen: b = own, d = vertical, c = horizontal + own - vertical; break;
        case CellSum::TwoGreenBlue: c = own, d = horizontal, b = own + horizontal - vertical; break;
        case CellSum::TwoRedGreenBlue: d = own, c = horizontal, b = vertical; break;
    }
    const double red = (b - 2 * c + 2 * d) / 5;
    const double green = (2 * b + c - d) / 5;
    const double blue = (3 * c + 2 * d - 4 * b) / 5;
    return {std::max(red, 0.0) * rawformat::kWhiteBalanceRed, std::max(green, 0.0) * rawformat::kWhiteBalanceGreen,
            std::max(blue, 0.0) * rawformat::kWhiteBalanceBlue};
}

// Maps linear values to output bytes: nothing up to the black point, 255 from the white point,
// 256·x^γ in between. Exact thresholds per output level make the mapping cheap and exact.
class ToneCurve {
public:
    ToneCurve(double black, double white, double gamma) {
        for (int level = 0; level < 256; ++level) {
            threshold_[level] = black + (white - black) * std::pow(level / 256.0, 1.0 / gamma);
        }
        black_ = black;
        white_ = white;
        bucketScale_ = kBuckets / (white - black);
        uint8_t level = 0;
        for (int i = 0; i < kBuckets; ++i) bucketStart_[i] = level = Lookup(black + i / bucketScale_, level);
    }

    uint8_t operator()(double v) const {
        if (v <= black_) return 0;
        if (v >= white_) return 255;
        const int bucket = std::min(kBuckets - 1, static_cast<int>((v - black_) * bucketScale_));
        return Lookup(v, bucketStart_[bucket]);
    }

private:
    static constexpr int kBuckets = 4096;

    uint8_t Lookup(double v, int from) const {
        int level = from;
        while (level < 255 && v >= threshold_[level + 1]) ++level;
        return static_cast<uint8_t>(level);
    }

    std::array<double, 256> threshold_{};
    std::array<uint8_t, kBuckets> bucketStart_{};
    double black_ = 0, white_ = 0, bucketScale_ = 0;
};

struct Points {
    double black;
    double white;
};

// Black point where the smallest components of `clipFraction` of the pixels lie at or below it;
// white point where the largest components of as many lie at or above it.
Points BlackAndWhitePoints(const std::vector<float>& rgb, double clipFraction) {
    const double largest = *std::max_element(rgb.begin(), rgb.end());
    if (largest <= 0) return {0.0, 1.0};
    const double binWidth = largest / kHistogramBins;
    std::vector<std::size_t> minima(kHistogramBins), maxima(kHistogramBins);
    auto bin = [&](float v) { return std::min(kHistogramBins - 1, static_cast<int>(v / binWidth)); };
    const std::size_t pixels = rgb.size() / 3;
    for (std::size_t i = 0; i < rgb.size(); i += 3) {
        ++minima[bin(std::min({rgb[i], rgb[i + 1], rgb[i + 2]}))];
        ++maxima[bin(std::max({rgb[i], rgb[i + 1], rgb[i + 2]}))];
    }
    const double wanted = clipFraction * static_cast<double>(pixels);
    int blackBin = 0;
    for (std::size_t count = minima[0]; static_cast<double>(count) < wanted && blackBin < kHistogramBins - 1;) {
        count += minima[++blackBin];
    }
    int whiteBin = kHistogramBins - 1;
    for (std::size_t count = maxima[whiteBin]; static_cast<double>(count) < wanted && whiteBin > 0;) {
        count += maxima[--whiteBin];
    }
    const double black = (blackBin + 1) * binWidth;
    const double white = std::max(whiteBin * binWidth, black + binWidth);
    return {black, white};
}

}  // namespace

Image ReconstructColours(const RawPicture& picture, const ConversionOptions& options) {
    const Layout layout = rawformat::LayoutFor(picture.resolution);
    const int width = layout.computedWidth();
    const int height = Layout::computedLines;
    std::vector<LineSums> lines(3, LineSums(width));
    std::vector<double> ratio(width);
    auto line = [&](int y) -> LineSums& { return lines[static_cast<std::size_t>(y) % 3]; };

    // The margin lines above and below are not needed: the first and last computed lines take
    // their vertical estimate from the single inner neighbour line.
    // Linear colours of the whole area; single precision is ample for storing them.
    std::vector<float> linear(static_cast<std::size_t>(width) * height * 3);
    ReadLine(picture, layout, 0, line(0), ratio);
    ReadLine(picture, layout, 1, line(1), ratio);
    for (int y = 0; y < height; ++y) {
        if (y >= 1 && y + 1 < height) ReadLine(picture, layout, y + 1, line(y + 1), ratio);
        // The sum of the lines above and below at each cell's column, carried over through the
        // ratio of reading to intensity, which both line types share.
        const LineSums& here = line(y);
        float* out = &linear[static_cast<std::size_t>(y) * width * 3];
        for (int x = 0; x < width; ++x) {
            const double vertical = here.intensity[x] * NeighbourMean(y, height, [&](int n) { return line(n).share[x]; });
            const CellSum type = rawformat::CellAt(y + Layout::firstLine, x + layout.leftMargin);
            const auto rgb = Solve(type, here.own[x], here.horizontal[x], vertical);
            for (int c = 0; c < 3; ++c) out[x * 3 + c] = static_cast<float>(rgb[c]);
        }
    }

    const Points points = BlackAndWhitePoints(linear, options.clipFraction);
    const ToneCurve curve(points.black, points.white, options.gamma);
    Image out = BlankImage(width, height);
    std::transform(linear.begin(), linear.end(), out.rgb.begin(), [&curve](float v) { return curve(v); });
    return out;
}

Image ConvertRaw(const RawPicture& picture, const ConversionOptions& options) {
    const Layout layout = rawformat::LayoutFor(picture.resolution);
    return imaging::ResizeLinear(ReconstructColours(picture, options), layout.outputWidth, layout.outputHeight);
}

}  // namespace pictrex
