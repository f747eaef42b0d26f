#include "dialog_units.h"

#include <QFontMetrics>
#include <QString>

namespace tessel {
namespace {

// value * numerator / denominator, rounded to nearest (halves away from zero).
int ScaleRounded(int value, int numerator, int denominator) {
    const long long product = static_cast<long long>(value) * numerator;
    const long long half = denominator / 2;
    return static_cast<int>(product >= 0 ? (product + half) / denominator : (product - half) / denominator);
}

int HorizontalPixels(const DialogBaseUnits& units, int dialogUnits) {
    return ScaleRounded(dialogUnits, units.x, 4);
}

int VerticalPixels(const DialogBaseUnits& units, int dialogUnits) {
    return ScaleRounded(dialogUnits, units.y, 8);
}

}  // namespace

QFont DialogFont(std::string_view face, int pointSize) {
    QFont font(QString::fromUtf8(face.data(), static_cast<qsizetype>(face.size())), pointSize);
    font.setStyleHint(QFont::SansSerif);
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    return font;
}

DialogBaseUnits BaseUnitsOf(const QFont& font) {
    static const QString kLetters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    const QFontMetrics metrics(font);
    const int totalWidth = metrics.horizontalAdvance(kLetters);
    const int letterCount = static_cast<int>(kLetters.size());
    return {ScaleRounded(totalWidth, 1, letterCount), metrics.height()};
}

QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy) {
    return {HorizontalPixels(units, x), VerticalPixels(units, y), HorizontalPixels(units, cx),
            VerticalPixels(units, cy)};
}

QSize MapDialogSize(const DialogBaseUnits& units, int cx, int cy) {
    return {HorizontalPixels(units, cx), VerticalPixels(units, cy)};
}

}  // namespace tessel
