#include "raw_conversion.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>
#include <tuple>

#include "scenes.h"

namespace pictrex {
namespace {

using imaging::Image;
using rawformat::Resolution;
using testing::FileForm;

// Largest difference, in output levels, allowed between a patch's colour in the scene and in the
// converted picture, away from the patch edges. The native picture stores linear light in whole
// units of about 1/40 of full scale; after the 0.45 gamma curve that rounding moves dark
// components (below 100) by up to 8 levels, bright ones by up to 3.
int ToleranceFor(int expected) { return expected < 100 ? 8 : 3; }
// Pixels left out along each patch edge: the scene's soft border (6 pixels each side) and the
// mosaic neighbourhood that reaches across it.
constexpr int kEdgeGuard = 12;

class RoundTrip : public ::testing::TestWithParam<std::tuple<Resolution, FileForm>> {};

TEST_P(RoundTrip, FlatPatchesKeepTheirColours) {
    const auto [resolution, form] = GetParam();
    const auto file = testing::InFileForm(testing::PatchPicture(resolution), form);
    const auto recognised = RecognisePicture(file);
    ASSERT_TRUE(std::holds_alternative<RawPicture>(recognised));
    const Image out = ConvertRaw(std::get<RawPicture>(recognised));

    const rawformat::Layout layout = rawformat::LayoutFor(resolution);
    ASSERT_EQ(out.width, layout.outputWidth);
    ASSERT_EQ(out.height, layout.outputHeight);
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            const int column = x * testing::kPatchColumns / out.width;
            const int row = y * testing::kPatchRows / out.height;
            const int left = column * out.width / testing::kPatchColumns;
            const int right = (column + 1) * out.width / testing::kPatchColumns;
            const int top = row * out.height / testing::kPatchRows;
            const int bottom = (row + 1) * out.height / testing::kPatchRows;
            if (x < left + kEdgeGuard || x >= right - kEdgeGuard || y < top + kEdgeGuard || y >= bottom - kEdgeGuard) {
                continue;
            }
            const auto& expected = testing::PatchColours()[row * testing::kPatchColumns + column];
            const uint8_t* got = out.pixel(x, y);
            for (int c = 0; c < 3; ++c) {
                const int difference = std::abs(got[c] - expected[c]);
                ASSERT_LE(difference, ToleranceFor(expected[c])) << "pixel " << x << "," << y << " component " << c << " patch "
                                                  << row * testing::kPatchColumns + column;
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(AllResolutionsAndForms, RoundTrip,
                         ::testing::Combine(::testing::Values(Resolution::High, Resolution::Low),
                                            ::testing::Values(FileForm::Plain, FileForm::Container, FileForm::Thumbnail)));

}  // namespace
}  // namespace pictrex
