// The notification-area icon and the window procedure that serves it while it is shown.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace tarnwick {

inline constexpr UINT kTrayIconId = 10;
inline constexpr UINT kTrayCallbackMessage = WM_USER + 1;

// What the tray needs of the window it serves (the main window): handed to AddTrayIcon, so that the
// tray reaches up through this and never through the window's own class.
class TrayHost {
 public:
  virtual HWND Handle() = 0;
  // Puts the window back on the desktop: the icon's double-click and the menu's "&Show...".
  virtual void ShowFromTray() = 0;
  // mnuPopup, the icon's right-button menu; its choice arrives at the window as WM_COMMAND.
  virtual HMENU PopupMenu() const = 0;

 protected:
  ~TrayHost() = default;
};

// Adds the icon for the window with the tip (fitted into the 64-character field) and puts TrayWndProc
// in front of the window's own procedure. Ignored while the icon is shown. A busy or starting shell
// may refuse the icon: the add is tried a few times over about a second. False when it never took
// it; the window's procedure is then left alone and the caller must not hide the window.
bool AddTrayIcon(TrayHost& window, const std::string& tipText);
// Deletes the icon and puts the window's own procedure back. Ignored while no icon is shown, so the
// window's unload can always call it.
void RemoveTrayIcon(TrayHost& window);
// Reacts to the icon's double-click and right button (on the window given to AddTrayIcon), re-adds
// the icon when the shell restarts, and passes every message on to the window's own procedure.
LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;

// The shell's icon call, replaceable so that a test can make the shell refuse; nullptr restores it.
using ShellNotifyFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA record);
void SetShellNotifyFunction(ShellNotifyFunction function);

}  // namespace tarnwick
