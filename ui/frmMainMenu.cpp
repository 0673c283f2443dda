// The menu commands and the way into and out of the notification area.
#include "ui/frmMain.h"

#include "common/AppMessageWin32.h"
#include "tray/modTaskTray.h"
#include "ui/OwnVersionWin32.h"
#include "ui/VersionText.h"

namespace tarnwick {
void FrmMain::OnMenuFileItem(int index) {
  if (index == 0) Unload();
}

void FrmMain::OnMenuViewItem(int index) {
  if (index != 0) return;
  HMENU bar = GetMenu(hwnd_);
  const bool wasChecked = (GetMenuState(bar, IDM_VIEWITEM0, MF_BYCOMMAND) & MF_CHECKED) != 0;
  CheckMenuItem(bar, IDM_VIEWITEM0, MF_BYCOMMAND | (wasChecked ? MF_UNCHECKED : MF_CHECKED));
  // The mark, read back, decides: the z-order follows what the user sees on the menu.
  const bool onTop = (GetMenuState(bar, IDM_VIEWITEM0, MF_BYCOMMAND) & MF_CHECKED) != 0;
  SetWindowPos(hwnd_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void FrmMain::OnMenuHelpItem(int index) {
  if (index != 0) return;
  const std::string text = VersionText(setup_.ExeName, OwnVersion());
  AppMessageBox(MessageOwner(), text.c_str(), MB_OK);
}

void FrmMain::OnMenuPopupItem(int index) {
  if (index == 0) ShowFromTray();
}

void FrmMain::GoToTray() {
  // Hidden without an icon, the window could not be reached: it then stays minimised on the taskbar.
  const bool iconShown = tray_.AddTrayIcon(TrayTipText());
  SetTimerEnabled(false);
  if (iconShown) Hide();
}

void FrmMain::StartInTray() {
  if (tray_.AddTrayIcon(TrayTipText())) {
    Hide();
    return;
  }
  // Minimised, the window tries the icon once more, and stays on the taskbar if the shell still refuses.
  ShowWindow(Handle(), SW_SHOWMINNOACTIVE);
}

void FrmMain::ShowWithoutIcon() {
  SetTimerEnabled(false);
  stayOnTaskbar_ = true;
  ShowWindow(Handle(), SW_SHOWMINNOACTIVE);
  stayOnTaskbar_ = false;
}

void FrmMain::ShowFromTray() {
  tray_.RemoveTrayIcon();
  Show();  // normal state, then shown: the resize handling lays out and restarts the scan
}

}  // namespace tarnwick
