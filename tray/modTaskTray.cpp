// The notification-area icon and the window procedure that serves it while it is shown.
#include "tray/modTaskTray.h"

#include "ui/frmMain.h"

namespace tarnwick {

void AddTrayIcon(FrmMain&, const std::string&) {}

void RemoveTrayIcon(FrmMain&) {}

LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

}  // namespace tarnwick
