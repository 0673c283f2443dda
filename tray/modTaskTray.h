// The notification-area icon, a part of the window it serves: its own state, and a subclass of that
// window (SetWindowSubclass, with the part as reference data) while the icon is shown.
#pragma once
#include <windows.h>
#include <shellapi.h>

#include <string>

namespace tarnwick {

inline constexpr UINT kTrayIconId = 10;
inline constexpr UINT kTrayCallbackMessage = WM_USER + 1;

// What the tray needs of the window it serves (the main window), so that the tray reaches up through
// this and never through the window's own class.
class TrayHost {
 public:
  virtual HWND Handle() = 0;
  // Puts the window back on the desktop: the icon's double-click and the menu's "&Show...".
  virtual void ShowFromTray() = 0;
  // The shell took the icon away and would not take it again: the window must be reachable without it.
  virtual void ShowWithoutIcon() = 0;
  // mnuPopup, the icon's right-button menu; its choice arrives at the window as WM_COMMAND.
  virtual HMENU PopupMenu() const = 0;

 protected:
  ~TrayHost() = default;
};

// The shell's icon call, replaceable so that a test can make the shell refuse.
using ShellNotifyFunction = BOOL(WINAPI*)(DWORD message, PNOTIFYICONDATAA record);

class TrayIcon {
 public:
  explicit TrayIcon(TrayHost& host) : host_(host) {}
  ~TrayIcon() { RemoveTrayIcon(); }
  TrayIcon(const TrayIcon&) = delete;
  TrayIcon& operator=(const TrayIcon&) = delete;

  // Adds the icon for the window with the tip (fitted into the 64-character field) and puts TrayWndProc
  // in front of the window's own procedure. Ignored while the icon is shown. A busy or starting shell
  // may refuse the icon: the add is tried a few times over about a second. False when it never took
  // it; the window's procedure is then left alone and the caller must not hide the window.
  [[nodiscard]] bool AddTrayIcon(const std::string& tipText);
  // Deletes the icon and takes TrayWndProc away. Ignored while no icon is shown, so the window's unload
  // can always call it.
  void RemoveTrayIcon();
  bool Shown() const { return shown_; }
  // nullptr restores Shell_NotifyIconA.
  void SetShellNotifyFunction(ShellNotifyFunction function);

  // The subclass procedure: reacts to the icon's double-click and right button, adds the icon again
  // when the shell restarts, and passes every message on to the window's own procedure.
  static LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR id,
                                      DWORD_PTR part) noexcept;

 private:
  bool AddIcon();
  void OnShellRestarted(HWND hwnd);
  void OpenPopupMenu();

  TrayHost& host_;
  ShellNotifyFunction shellNotify_ = &Shell_NotifyIconA;
  bool shown_ = false;
  NOTIFYICONDATAA record_{};  // the icon shown, kept to add it again when the shell restarts
};

}  // namespace tarnwick
