#include "raw_conversion.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

#include "resize.h"

namespace pictrex {
namespace {

using rawformat::CellSum;
using rawformat::Layout;

// Readings below this are raised to it, so that no ratio divides by (nearly) zero.
constexpr double kSmallestReading = 2.0;
constexpr int kRefinePasses = 3;
constexpr int kHistogramBins = 4096;

// Values over the computed lines 1..241 (index 0 = line 1) and computed columns.
class Plane {
public:
    Plane(int width, int height) : width_(width), values_(static_cast<std::size_t>(width) * height) {}
    double& at(int x, int y) { return values_[static_cast<std::size_t>(y) * width_ + x]; }
    double at(int x, int y) const { return values_[static_cast<std::size_t>(y) * width_ + x]; }
    double* row(int y) { return &values_[static_cast<std::size_t>(y) * width_]; }
    const double* row(int y) const { return &values_[static_cast<std::size_t>(y) * width_]; }

private:
    int width_;
    std::vector<double> values_;
};

// Mean of a quantity at the neighbours i-1 and i+1 of an index in 0..n-1; at either end only the
// single inner neighbour counts.
template <typename Get>
double NeighbourMean(int i, int n, Get get) {
    if (i == 0) return get(1);
    if (i == n - 1) return get(n - 2);
    return 0.5 * (get(i - 1) + get(i + 1));
}

struct Sums {
    Plane own;         // the cell's reading
    Plane horizontal;  // the row's other sum at the cell
    Plane vertical;    // the neighbouring rows' sum at the cell's column
};

Plane Readings(const RawPicture& picture, const Layout& layout) {
    const int width = layout.computedWidth();
    Plane own(width, Layout::computedLines);
    for (int y = 0; y < Layout::computedLines; ++y) {
        for (int x = 0; x < width; ++x) {
            own.at(x, y) = std::max<double>(picture.cell(y + Layout::firstLine, x + layout.leftMargin), kSmallestReading);
        }
    }
    return own;
}

// Each cell's estimate of its row's other sum: the neighbours' mean, then refined by carrying the
// neighbours' ratio between the two sums over to the cell (odd cells first, then even ones).
Plane HorizontalEstimate(const Plane& own, int width, int height) {
    Plane estimate(width, height);
    std::vector<double> ratio(width);
    for (int y = 0; y < height; ++y) {
        const double* reading = own.row(y);
        double* h = estimate.row(y);
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
    return estimate;
}

// Each cell's estimate of the sum the rows above and below record at its column, carried over
// through the ratio of reading to row intensity, which both row types share.
Plane VerticalEstimate(const Plane& own, const Plane& horizontal, int width, int height) {
    Plane intensity(width, height);
    Plane share(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            intensity.at(x, y) = own.at(x, y) + horizontal.at(x, y);
            share.at(x, y) = own.at(x, y) / intensity.at(x, y);
        }
    }
    Plane estimate(width, height);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            estimate.at(x, y) = intensity.at(x, y) * NeighbourMean(y, height, [&](int n) { return share.at(x, n); });
        }
    }
    return estimate;
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
        for (int i = 0; i < kBuckets; ++i) bucketStart_[i] = Lookup(black + i / bucketScale_, 0);
    }

    uint8_t operator()(double v) const {
        if (v <= black_) return 0;
        if (v >= white_) return 255;
        const int bucket = std::min(kBuckets - 1, static_cast<int>((v - black_) * bucketScale_));
        return Lookup(v, bucketStart_[bucket]);
    }

private:
    static constexpr int kBuckets = 1024;

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
Points BlackAndWhitePoints(const std::vector<double>& rgb, double clipFraction) {
    const double largest = *std::max_element(rgb.begin(), rgb.end());
    if (largest <= 0) return {0.0, 1.0};
    const double binWidth = largest / kHistogramBins;
    std::vector<std::size_t> minima(kHistogramBins), maxima(kHistogramBins);
    auto bin = [&](double v) { return std::min(kHistogramBins - 1, static_cast<int>(v / binWidth)); };
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
    const Plane own = Readings(picture, layout);
    const Plane horizontal = HorizontalEstimate(own, width, height);
    const Plane vertical = VerticalEstimate(own, horizontal, width, height);

    std::vector<double> linear(static_cast<std::size_t>(width) * height * 3);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const CellSum type = rawformat::CellAt(y + Layout::firstLine, x + layout.leftMargin);
            const auto rgb = Solve(type, own.at(x, y), horizontal.at(x, y), vertical.at(x, y));
            std::copy(rgb.begin(), rgb.end(), linear.begin() + (static_cast<std::ptrdiff_t>(y) * width + x) * 3);
        }
    }

    const Points points = BlackAndWhitePoints(linear, options.clipFraction);
    const ToneCurve curve(points.black, points.white, options.gamma);
    Image out = BlankImage(width, height);
    std::transform(linear.begin(), linear.end(), out.rgb.begin(), curve);
    return out;
}

Image ConvertRaw(const RawPicture& picture, const ConversionOptions& options) {
    const Layout layout = rawformat::LayoutFor(picture.resolution);
    return ResizeLinear(ReconstructColours(picture, options), layout.outputWidth, layout.outputHeight);
}

}  // namespace pictrex
