// Dialog templates 102 (the main window) and 100 (the About box).
#include "dialog_template.h"

#include <array>

#include "control_ids.h"
#include "resource_ids.h"
#include "version_info.h"

namespace tessel::res {
namespace {

constexpr std::string_view kDialogFont = "MS Sans Serif";

constexpr uint32_t kListBox = kDropDownList | kVScroll | kTabStop;
constexpr uint32_t kLabel = kLeftAligned | kGroup;

constexpr std::array kStationControls{
    ControlTemplate{IDOK_EXIT, ControlKind::PushButton, "Exit", 163, 73, 24, 14, kDefaultButton | kTabStop},
    ControlTemplate{IDC_START, ControlKind::PushButton, "Start", 109, 73, 24, 14, kTabStop},
    ControlTemplate{IDC_STOP, ControlKind::PushButton, "Stop", 134, 73, 24, 14, kTabStop},
    ControlTemplate{IDC_SPEED, ControlKind::ComboBox, "", 41, 7, 53, 72, kListBox},
    ControlTemplate{IDC_PORT, ControlKind::ComboBox, "", 41, 23, 53, 55, kListBox | kSorted},
    ControlTemplate{IDC_CAMERA, ControlKind::ComboBox, "", 41, 39, 53, 36, kListBox | kSorted},
    ControlTemplate{IDC_REFRESH, ControlKind::Edit, "", 75, 57, 19, 12, kBorder | kAutoHScroll | kTabStop},
    ControlTemplate{IDC_STATIC, ControlKind::Label, "Status", 110, 7, 38, 8, kLabel},
    ControlTemplate{IDC_STATUS, ControlKind::Edit, "", 109, 15, 77, 54,
                    kMultiLine | kReadOnly | kBorder | kAutoVScroll},
    ControlTemplate{IDC_STATIC, ControlKind::Label, "Speed", 16, 9, 23, 9, kLabel},
    ControlTemplate{IDC_STATIC, ControlKind::Label, "Port", 23, 25, 15, 9, kLabel},
    ControlTemplate{IDC_STATIC, ControlKind::Label, "Camera", 12, 41, 26, 9, kLabel},
    ControlTemplate{IDC_STATIC, ControlKind::Label, "Refresh Interval  (30 - 90 seconds)", 16, 54, 57, 17, kLabel},
    ControlTemplate{IDC_ARCHIVE, ControlKind::CheckBox, "Archive Images", 29, 76, 64, 8,
                    kAutoCheckBox | kLeftText | kTabStop},
    ControlTemplate{IDC_MESSAGE, ControlKind::Edit, "", 39, 91, 148, 12, kBorder | kAutoHScroll | kTabStop},
    ControlTemplate{IDC_STATIC, ControlKind::Label, "Message", 8, 93, 29, 9, kLabel},
};

constexpr DialogTemplate kStationDialog{
    IDD_STATION_DIALOG, "Quillon", 194, 110, kDialogFont, 8,
    kPopup | kVisible | kCaption | kSysMenu | kMinimizeBox | kModalFrame | kAppWindow, kStationControls};

constexpr std::array kAboutControls{
    ControlTemplate{IDC_STATIC, ControlKind::Icon, "128", 11, 5, 18, 20, kRealSizeImage},
    ControlTemplate{IDC_STATIC, ControlKind::Label, "tessel  -  Quillon", 40, 9, 135, 8, kNoPrefix | kGroup},
    ControlTemplate{IDC_STATIC, ControlKind::Label, kReleaseLine, 40, 24, 135, 8, kLabel},
    ControlTemplate{IDOK_EXIT, ControlKind::PushButton, "OK", 136, 57, 40, 13, kDefaultButton | kGroup | kTabStop},
};

constexpr DialogTemplate kAboutDialog{
    IDD_ABOUTBOX, "About tessel", 190, 79, kDialogFont, 8, kPopup | kCaption | kSysMenu | kModalFrame,
    kAboutControls};

constexpr std::array kStationComboItems{
    ComboInitItem{IDC_SPEED, "Auto"},   ComboInitItem{IDC_SPEED, "9600"},   ComboInitItem{IDC_SPEED, "19200"},
    ComboInitItem{IDC_SPEED, "38400"},  ComboInitItem{IDC_SPEED, "57600"},  ComboInitItem{IDC_SPEED, "115200"},
    ComboInitItem{IDC_SPEED, "230400"}, ComboInitItem{IDC_PORT, "Auto"},    ComboInitItem{IDC_PORT, "COM1"},
    ComboInitItem{IDC_PORT, "COM2"},    ComboInitItem{IDC_PORT, "COM3"},    ComboInitItem{IDC_PORT, "COM4"},
    ComboInitItem{IDC_CAMERA, "DC20"},  ComboInitItem{IDC_CAMERA, "DC25"},
};

}  // namespace

const DialogTemplate* FindDialogTemplate(int id) {
    switch (id) {
    case IDD_STATION_DIALOG: return &kStationDialog;
    case IDD_ABOUTBOX: return &kAboutDialog;
    default: return nullptr;
    }
}

std::span<const ComboInitItem> DialogInitData(int templateId) {
    if (templateId == IDD_STATION_DIALOG) return kStationComboItems;
    return {};
}

}  // namespace tessel::res
