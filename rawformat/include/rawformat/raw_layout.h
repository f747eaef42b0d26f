// The native picture of the DC20/DC25 cameras: a header followed by 243 lines of one byte per
// sensor cell, each cell recording one of four sums of the primaries (a complementary colour
// filter read out with two adjacent rows summed). Shared by the camera emulator, which builds
// pictures in this form, and the converter, which turns them back into colours.
#pragma once

#include <cstddef>
#include <cstdint>

namespace rawformat {

enum class Resolution : uint8_t { High = 0, Low = 1 };

inline constexpr std::size_t kHighResolutionBytes = 124928;  // 122 blocks of 1024
inline constexpr std::size_t kLowResolutionBytes = 62464;    // 61 blocks of 1024
inline constexpr std::size_t kHeaderResolutionByte = 4;      // 0 high, 1 low
inline constexpr int kSensorLines = 243;

struct Layout {
    std::size_t headerBytes;  // bytes before the first line
    int lineCells;            // cells per line
    int leftMargin;           // cells left of the first computed column
    int rightMargin;          // cells right of the last computed column
    int outputWidth;          // width after aspect correction
    int outputHeight;         // height after aspect correction
    std::size_t totalBytes;

    constexpr int computedWidth() const { return lineCells - leftMargin - rightMargin; }
    static constexpr int firstLine = 1;          // one margin line on top
    static constexpr int computedLines = 241;    // and one at the bottom
};

constexpr Layout LayoutFor(Resolution r) {
    return r == Resolution::High ? Layout{512, 512, 2, 10, 500, 373, kHighResolutionBytes}
                                 : Layout{256, 256, 2, 6, 320, 241, kLowResolutionBytes};
}

// Which sum of primaries a cell records, by the parity of its line and column (counted from 0
// over the whole pixel area, margins included).
enum class CellSum : uint8_t {
    RedGreenTwoBlue,   // R + G + 2B: even line, even column
    RedTwoGreen,       // R + 2G:     even line, odd column
    TwoGreenBlue,      // 2G + B:     odd line, even column
    TwoRedGreenBlue,   // 2R + G + B: odd line, odd column
};

constexpr CellSum CellAt(int line, int column) {
    const bool oddLine = (line & 1) != 0;
    const bool oddColumn = (column & 1) != 0;
    if (!oddLine) return oddColumn ? CellSum::RedTwoGreen : CellSum::RedGreenTwoBlue;
    return oddColumn ? CellSum::TwoRedGreenBlue : CellSum::TwoGreenBlue;
}

// Coefficients of red, green and blue in each sum.
struct SumWeights {
    int red, green, blue;
};

constexpr SumWeights WeightsOf(CellSum s) {
    switch (s) {
        case CellSum::RedGreenTwoBlue: return {1, 1, 2};
        case CellSum::RedTwoGreen: return {1, 2, 0};
        case CellSum::TwoGreenBlue: return {0, 2, 1};
        case CellSum::TwoRedGreenBlue: return {2, 1, 1};
    }
    return {0, 0, 0};
}

// Colour response of the sensor, corrected by the converter's white balance.
inline constexpr double kWhiteBalanceRed = 0.64;
inline constexpr double kWhiteBalanceGreen = 0.58;
inline constexpr double kWhiteBalanceBlue = 1.00;
inline constexpr double kDefaultGamma = 0.45;

}  // namespace rawformat
