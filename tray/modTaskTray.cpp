// The notification-area icon and the window procedure that serves it while it is shown.
#include "tray/modTaskTray.h"

#include <shellapi.h>

#include <cstddef>
#include <cstring>

#include "common/ProcedureEdge.h"
#include "common/SystemFunctionWin32.h"
#include "tray/TrayTip.h"

namespace tarnwick {
namespace {

// The shell gets the icon record in its first form: six fields and a 64-byte tip (88 bytes in 32-bit
// code; the window and icon handles are wider in 64-bit code). It is kept in the full record, whose
// zeroed tail ends a tip that fills its field: a shell that reads the tip up to its NUL then stops
// there instead of running past the first form.
#ifndef _WIN64
static_assert(NOTIFYICONDATAA_V1_SIZE == 88);
#endif
static_assert(offsetof(NOTIFYICONDATAA, szTip) + kTipFieldLength == NOTIFYICONDATAA_V1_SIZE);
static_assert(sizeof(NOTIFYICONDATAA::szTip) > kTipFieldLength);

// The window procedure that AddTrayIcon replaced, pointer-sized in either build.
LONG_PTR PrevWndProc = 0;
// The one icon this module shows, kept to add it again when the shell restarts, and its window.
bool gIconShown = false;
NOTIFYICONDATAA gShownIcon{};
TrayHost* gHost = nullptr;

ShellNotifyFunction gShellNotify = &Shell_NotifyIconA;
constexpr int kAddAttempts = 5;
constexpr DWORD kAddRetryDelayMs = 250;

bool AddIcon(NOTIFYICONDATAA& record) {
  for (int attempt = 1; attempt <= kAddAttempts; ++attempt) {
    if (gShellNotify(NIM_ADD, &record)) return true;
    if (attempt < kAddAttempts) Sleep(kAddRetryDelayMs);
  }
  return false;
}

UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

// The program may run elevated ("highestAvailable"); the shell's broadcast then reaches it only when
// let through. Windows before 7 has no such filter per window.
void AllowTaskbarCreated(HWND hwnd) {
  using FilterFunction = BOOL(WINAPI*)(HWND, UINT, DWORD, void*);
  static const auto filter = SystemFunction<FilterFunction>("user32.dll", "ChangeWindowMessageFilterEx");
  if (filter != nullptr) filter(hwnd, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
}

// The window's own icon, in the image drawn at the notification area's size where it has one.
HICON WindowIcon(HWND hwnd) {
  auto icon = reinterpret_cast<HICON>(SendMessageA(hwnd, WM_GETICON, ICON_SMALL, 0));
  if (icon == nullptr) icon = reinterpret_cast<HICON>(SendMessageA(hwnd, WM_GETICON, ICON_BIG, 0));
  return icon;
}

NOTIFYICONDATAA IconRecord(HWND hwnd) {
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = hwnd;
  record.uID = kTrayIconId;
  return record;
}

void OpenPopupMenu(TrayHost& main) {
  HWND hwnd = main.Handle();
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(hwnd);
  POINT cursor{};
  GetCursorPos(&cursor);
  // A chosen item arrives as WM_COMMAND, like a choice from the menu bar.
  TrackPopupMenu(main.PopupMenu(), 0, cursor.x, cursor.y, 0, hwnd, nullptr);
  // Ends the menu's mode properly, so that the next right-click opens it again (a known shell quirk).
  PostMessageA(hwnd, WM_NULL, 0, 0);
}

}  // namespace

void SetShellNotifyFunction(ShellNotifyFunction function) {
  gShellNotify = function != nullptr ? function : &Shell_NotifyIconA;
}

bool AddTrayIcon(TrayHost& window, const std::string& tipText) {
  if (gIconShown) return true;  // one icon and one saved procedure: a second would lose the window's own
  HWND hwnd = window.Handle();
  NOTIFYICONDATAA record = IconRecord(hwnd);
  record.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record.uCallbackMessage = kTrayCallbackMessage;
  record.hIcon = WindowIcon(hwnd);
  std::memcpy(record.szTip, FitTipField(tipText).data(), kTipFieldLength);
  if (!AddIcon(record)) return false;
  gShownIcon = record;
  gIconShown = true;
  gHost = &window;
  AllowTaskbarCreated(hwnd);
  PrevWndProc = SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&TrayWndProc));
  return true;
}

void RemoveTrayIcon(TrayHost& window) {
  if (!gIconShown) return;
  HWND hwnd = window.Handle();
  NOTIFYICONDATAA record = IconRecord(hwnd);
  gShellNotify(NIM_DELETE, &record);
  gIconShown = false;
  SetWindowLongPtrA(hwnd, GWLP_WNDPROC, PrevWndProc);
}

LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  const auto handle = [&] {
    if (msg == kTrayCallbackMessage) {
      // wParam names the icon; there is only one.
      switch (lParam) {
        case WM_LBUTTONDBLCLK:
          if (gHost != nullptr) gHost->ShowFromTray();
          break;
        case WM_RBUTTONDOWN:
          if (gHost != nullptr) OpenPopupMenu(*gHost);
          break;
        default:
          break;
      }
    } else if (msg == TaskbarCreatedMessage() && gIconShown) {
      // The shell restarted without our icon; the hidden window is reachable only through it. The
      // window's icon is taken afresh: a change of DPI since the first add has replaced the old one.
      gShownIcon.hIcon = WindowIcon(hwnd);
      gShellNotify(NIM_ADD, &gShownIcon);
    }
  };
  // Whatever happened here, the message still goes to the window's own procedure.
  StopExceptions("TrayWndProc", handle, [] {});
  return CallWindowProcA(reinterpret_cast<WNDPROC>(PrevWndProc), hwnd, msg, wParam, lParam);
}

}  // namespace tarnwick
