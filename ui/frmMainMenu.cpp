// The menu commands and the way into and out of the notification area.
#include "ui/frmMain.h"

#include "tray/modTaskTray.h"

namespace tarnwick {

void FrmMain::OnMenuFileItem(int index) {
  if (index == 0) Unload();
}

void FrmMain::OnMenuViewItem(int) {}

void FrmMain::OnMenuHelpItem(int) {}

void FrmMain::OnMenuPopupItem(int index) {
  if (index == 0) ShowFromTray();
}

void FrmMain::GoToTray() {
  AddTrayIcon(*this, TrayTipText());
  SetTimerEnabled(false);
  Hide();
}

void FrmMain::ShowFromTray() {
  RemoveTrayIcon(*this);
  Show();
}

}  // namespace tarnwick
