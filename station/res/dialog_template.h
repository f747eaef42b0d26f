// Dialog templates as data: a dialog's caption, size, font and window styles, and its controls
// with ids, kinds, texts, positions and sizes in dialog units, and styles. The window builder turns
// a template into widgets.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace tessel::res {

enum class ControlKind { PushButton, ComboBox, Edit, Label, CheckBox, Icon };

// Control styles. Several only describe the classic look and have no effect on the builder, but
// they are kept so the table says everything the window is made of.
enum ControlStyle : uint32_t {
    kTabStop = 1u << 0,
    kGroup = 1u << 1,
    kDefaultButton = 1u << 2,
    kDropDownList = 1u << 3,    // selection only, no typing
    kSorted = 1u << 4,          // added items go to their sorted place
    kVScroll = 1u << 5,
    kMultiLine = 1u << 6,
    kReadOnly = 1u << 7,
    kBorder = 1u << 8,
    kAutoHScroll = 1u << 9,
    kAutoVScroll = 1u << 10,
    kLeftAligned = 1u << 11,
    kNoPrefix = 1u << 12,       // an ampersand shows as itself
    kAutoCheckBox = 1u << 13,   // toggles itself when clicked
    kLeftText = 1u << 14,       // check box text on the left of the box
    kRealSizeImage = 1u << 15,  // an icon shown at its own size
};

enum WindowStyle : uint32_t {
    kPopup = 1u << 0,
    kVisible = 1u << 1,
    kCaption = 1u << 2,
    kSysMenu = 1u << 3,
    kMinimizeBox = 1u << 4,
    kModalFrame = 1u << 5,
    kAppWindow = 1u << 6,  // its own taskbar entry
};

struct ControlTemplate {
    int id;
    ControlKind kind;
    std::string_view text;  // for an icon control: the icon resource id as text
    int x, y, cx, cy;       // dialog units
    uint32_t style;         // ControlStyle bits
};

struct DialogTemplate {
    int id;
    std::string_view caption;
    int cx, cy;  // client size in dialog units
    std::string_view fontFace;
    int pointSize;
    uint32_t style;  // WindowStyle bits
    std::span<const ControlTemplate> controls;
};

// One combo-box item of a template's initialisation data.
struct ComboInitItem {
    int controlId;
    std::string_view text;
};

// The template with this id, or nullptr.
const DialogTemplate* FindDialogTemplate(int id);

// The combo-box items added when the dialog from template `templateId` is set up, in order.
std::span<const ComboInitItem> DialogInitData(int templateId);

}  // namespace tessel::res
