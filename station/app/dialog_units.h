// Dialog units: positions and sizes in templates are measured in units of the dialog's font, so
// a window keeps its proportions whatever font the system substitutes. A horizontal unit is a
// quarter of the font's average character width, a vertical unit an eighth of its height.
#pragma once

#include <QFont>
#include <QRect>
#include <QSize>
#include <string_view>

namespace tessel {

struct DialogBaseUnits {
    int x;  // average character width in pixels
    int y;  // character height in pixels
};

// The dialog font of a template: the named face when the system has it, otherwise any
// sans-serif face, at `pointSize` points.
QFont DialogFont(std::string_view face, int pointSize);

// Base units of `font`: the average width of the 52 Latin letters, rounded, and the height.
DialogBaseUnits BaseUnitsOf(const QFont& font);

// Dialog units to pixels, rounding to the nearest pixel.
QRect MapDialogRect(const DialogBaseUnits& units, int x, int y, int cx, int cy);
QSize MapDialogSize(const DialogBaseUnits& units, int cx, int cy);

}  // namespace tessel
