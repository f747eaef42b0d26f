// Ids of the main window's controls, shared by the settings binding and the window.
#pragma once

namespace tessel {

enum ControlId : int {
    IDOK_EXIT = 1,          // the Exit button (the dialog's OK command)
    IDC_STATUS = 1000,
    IDC_START = 1001,
    IDC_STOP = 1002,
    IDC_PORT = 1007,
    IDC_SPEED = 1010,
    IDC_CAMERA = 1011,
    IDC_REFRESH = 1012,
    IDC_ARCHIVE = 1014,
    IDC_MESSAGE = 1015,
};

}  // namespace tessel
