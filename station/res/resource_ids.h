// Ids of the capture station's resources: dialog templates, the icon and the string table.
#pragma once

namespace tessel::res {

inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDS_ABOUTBOX = 101;
inline constexpr int IDD_STATION_DIALOG = 102;
inline constexpr int IDR_MAINFRAME = 128;

// The About command of the window's menu; commands 16 to 31 all mean About.
inline constexpr unsigned IDM_ABOUTBOX = 0x0010;

// Id of controls that nothing refers to (labels, the About box icon).
inline constexpr int IDC_STATIC = -1;

}  // namespace tessel::res
