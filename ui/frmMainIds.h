// Identifiers of the main window's controls, menu items, timer and window class; the tests use them too.
#pragma once

namespace tarnwick {

inline constexpr const char* kMainWindowClass = "TarnwickMainWindow";
inline constexpr const char* kMainWindowCaption = "Velm Tarnwick";

enum ControlId : int {
  IDC_LBLPROCESSLIST = 1001,
  IDC_LSTPROCESS = 1002,
  IDC_CMDADD = 1003,
  IDC_CMDEDIT = 1004,
  IDC_CMDDELETE = 1005,
  IDC_LBLPROCESSRESIDE = 1006,
  IDC_LSTRESIDELIST = 1007,
  IDC_CMDCHECKALL0 = 1008,  // "&Select all"
  IDC_CMDCHECKALL1 = 1009,  // "&Unselect all"
  IDC_CMDTERMINATE = 1010,
  IDC_PICSPLITTER = 1011,
};

enum MenuId : int {
  IDM_FILEITEM0 = 2001,   // "E&xit"
  IDM_VIEWITEM0 = 2101,   // "&Always On Top"
  IDM_HELPITEM0 = 2201,   // "&Version..."
  IDM_POPUPITEM0 = 2301,  // "&Show..."
};

inline constexpr unsigned kScanTimerId = 1;
inline constexpr unsigned kScanIntervalMs = 1000;

// Resource identifiers of the icons.
inline constexpr int IDI_TARNWICK = 1;
inline constexpr int IDI_TERMINATE = 2;

}  // namespace tarnwick
