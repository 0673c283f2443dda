// The notification-area icon and the subclass procedure that serves it while it is shown.
#include "tray/modTaskTray.h"

#include <commctrl.h>
#include <shellapi.h>

#include <cstddef>
#include <cstring>

#include "common/ProcedureEdge.h"
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

constexpr int kAddAttempts = 5;
constexpr DWORD kAddRetryDelayMs = 250;
constexpr UINT_PTR kSubclassId = kTrayIconId;

UINT TaskbarCreatedMessage() {
  static const UINT message = RegisterWindowMessageA("TaskbarCreated");
  return message;
}

// The program may run elevated ("highestAvailable"); the shell's broadcast then reaches it only when
// let through.
void AllowTaskbarCreated(HWND hwnd) {
  ChangeWindowMessageFilterEx(hwnd, TaskbarCreatedMessage(), MSGFLT_ALLOW, nullptr);
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

}  // namespace

void TrayIcon::SetShellNotifyFunction(ShellNotifyFunction function) {
  shellNotify_ = function != nullptr ? function : &Shell_NotifyIconA;
}

bool TrayIcon::AddIcon() {
  for (int attempt = 1; attempt <= kAddAttempts; ++attempt) {
    if (shellNotify_(NIM_ADD, &record_)) return true;
    if (attempt < kAddAttempts) Sleep(kAddRetryDelayMs);
  }
  return false;
}

bool TrayIcon::AddTrayIcon(const std::string& tipText) {
  if (shown_) return true;  // one icon and one subclass
  HWND hwnd = host_.Handle();
  record_ = IconRecord(hwnd);
  record_.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
  record_.uCallbackMessage = kTrayCallbackMessage;
  record_.hIcon = WindowIcon(hwnd);
  std::memcpy(record_.szTip, FitTipField(tipText).data(), kTipFieldLength);
  if (!AddIcon()) return false;
  shown_ = true;
  AllowTaskbarCreated(hwnd);
  SetWindowSubclass(hwnd, &TrayWndProc, kSubclassId, reinterpret_cast<DWORD_PTR>(this));
  return true;
}

void TrayIcon::RemoveTrayIcon() {
  if (!shown_) return;
  shown_ = false;
  HWND hwnd = record_.hWnd;
  NOTIFYICONDATAA record = IconRecord(hwnd);
  shellNotify_(NIM_DELETE, &record);
  RemoveWindowSubclass(hwnd, &TrayWndProc, kSubclassId);
}

void TrayIcon::OpenPopupMenu() {
  HWND hwnd = host_.Handle();
  // Without the foreground the menu would not close when the user clicks elsewhere.
  SetForegroundWindow(hwnd);
  POINT cursor{};
  GetCursorPos(&cursor);
  // A chosen item arrives as WM_COMMAND, like a choice from the menu bar.
  TrackPopupMenu(host_.PopupMenu(), 0, cursor.x, cursor.y, 0, hwnd, nullptr);
  // Ends the menu's mode properly, so that the next right-click opens it again (a known shell quirk).
  PostMessageA(hwnd, WM_NULL, 0, 0);
}

void TrayIcon::OnShellRestarted(HWND hwnd) {
  // The shell restarted without our icon; the hidden window is reachable only through it. The window's
  // icon is taken afresh (a change of DPI since the first add has replaced the old one), and a busy new
  // shell gets the same retries as at the first add.
  record_.hIcon = WindowIcon(hwnd);
  if (AddIcon()) return;
  shown_ = false;
  RemoveWindowSubclass(hwnd, &TrayWndProc, kSubclassId);
  host_.ShowWithoutIcon();
}

LRESULT CALLBACK TrayIcon::TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                       DWORD_PTR part) noexcept {
  auto& tray = *reinterpret_cast<TrayIcon*>(part);
  const auto handle = [&] {
    if (msg == kTrayCallbackMessage) {
      // wParam names the icon; there is only one.
      switch (lParam) {
        case WM_LBUTTONDBLCLK:
          tray.host_.ShowFromTray();
          break;
        case WM_RBUTTONDOWN:
          tray.OpenPopupMenu();
          break;
        default:
          break;
      }
    } else if (msg == TaskbarCreatedMessage() && tray.shown_) {
      tray.OnShellRestarted(hwnd);
    }
  };
  // Whatever happened here, the message still goes to the window's own procedure (DefSubclassProc finds
  // it even once the subclass is gone).
  StopExceptions("TrayWndProc", handle, [] {});
  return DefSubclassProc(hwnd, msg, wParam, lParam);
}

}  // namespace tarnwick
