#include "dialog_units.h"

#include <QFontMetrics>
#include <gtest/gtest.h>

namespace tessel {
namespace {

struct MappingCase {
    DialogBaseUnits units;
    QRect dialogUnits;
    QRect pixels;
};

class MapDialogRectTest : public ::testing::TestWithParam<MappingCase> {};

TEST_P(MapDialogRectTest, ScalesByAQuarterOfTheWidthAndAnEighthOfTheHeightRounded) {
    const MappingCase& c = GetParam();
    const QRect& u = c.dialogUnits;
    EXPECT_EQ(MapDialogRect(c.units, u.x(), u.y(), u.width(), u.height()), c.pixels);
    EXPECT_EQ(MapDialogSize(c.units, u.width(), u.height()), c.pixels.size());
}

INSTANTIATE_TEST_SUITE_P(
    Cases, MapDialogRectTest,
    ::testing::Values(
        // The classic base units 6 x 13: Exit button 163, 73, 24, 14.
        MappingCase{{6, 13}, QRect(163, 73, 24, 14), QRect(245, 119, 36, 23)},
        MappingCase{{6, 13}, QRect(0, 0, 194, 110), QRect(0, 0, 291, 179)},
        MappingCase{{8, 16}, QRect(41, 7, 53, 72), QRect(82, 14, 106, 144)},
        MappingCase{{7, 15}, QRect(1, 1, 3, 5), QRect(2, 2, 5, 9)}));

TEST(BaseUnitsTest, AreTheRoundedAverageLetterWidthAndTheFontHeight) {
    const QFont font = DialogFont("MS Sans Serif", 8);
    const QFontMetrics metrics(font);
    int letterWidths = 0;
    for (char c = 'A'; c <= 'Z'; ++c) letterWidths += metrics.horizontalAdvance(QChar(c));
    for (char c = 'a'; c <= 'z'; ++c) letterWidths += metrics.horizontalAdvance(QChar(c));

    const DialogBaseUnits units = BaseUnitsOf(font);
    EXPECT_NEAR(units.x, letterWidths / 52.0, 0.5 + 1e-9);
    EXPECT_EQ(units.y, metrics.height());
    EXPECT_GT(units.x, 0);
}

TEST(DialogFontTest, FallsBackToASansSerifFaceAtTheGivenPointSize) {
    const QFont font = DialogFont("No Such Face Anywhere", 8);
    EXPECT_EQ(font.pointSize(), 8);
    EXPECT_EQ(font.styleHint(), QFont::SansSerif);
    EXPECT_FALSE(font.italic());
}

}  // namespace
}  // namespace tessel
