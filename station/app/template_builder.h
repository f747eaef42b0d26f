// Makes a dialog's widgets from a dialog template: caption, fixed client size, window buttons,
// font, and one widget per control, placed by converting the template's dialog units with the
// font's base units. Tab order follows the template's tab-stop controls.
#pragma once

#include <QDialog>
#include <span>
#include <string_view>

#include "dialog_controls.h"
#include "dialog_template.h"
#include "dialog_units.h"

class QComboBox;

namespace tessel {

DialogControls BuildDialog(QDialog& dialog, const res::DialogTemplate& dialogTemplate);

// The first control in template order that the Tab key visits, or nullptr.
QWidget* FirstTabStop(const DialogControls& controls);

// Adds an item the way a combo box's add-string message does: at the end, or, for a sorted box,
// before the first item that is greater in case-insensitive order. Returns the item's index.
int AddComboString(QComboBox& combo, std::string_view text, bool sorted);

// Adds a template's combo-box initialisation items to the built controls, in order.
void AddInitialComboItems(const DialogControls& controls, const res::DialogTemplate& dialogTemplate,
                          std::span<const res::ComboInitItem> items);

}  // namespace tessel
