// The window's own system menu. Linux window managers own the title-bar menu, so the window
// offers the same commands as a context menu; choosing an entry sends its command id to the
// window's system-command handler.
#pragma once

#include <QMenu>
#include <optional>
#include <string_view>

namespace tessel {

// System command ids of the window frame.
inline constexpr unsigned SC_MINIMIZE = 0xF020;
inline constexpr unsigned SC_CLOSE = 0xF060;
inline constexpr unsigned SC_RESTORE = 0xF120;

// The command id an entry sends.
unsigned CommandOf(const QAction& action);

// The frame's own commands: Minimise and Close.
void AddFrameCommands(QMenu& menu);

// Appends a separator and the About entry (command `commandId`, text `text`) when `text` is
// present and not empty; appends nothing otherwise.
void AppendAboutEntry(QMenu& menu, std::optional<std::string_view> text, unsigned commandId);

}  // namespace tessel
