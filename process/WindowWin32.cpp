// Other programs' windows through user32: EnumWindows, IsHungAppWindow, SendMessageTimeoutW, PostMessageW.
#include "process/WindowWin32.h"

#include <windows.h>

namespace tarnwick {
namespace {

// SMTO_ABORTIFHUNG: a hung window answers at once with a failure. No SMTO_BLOCK: the window's own
// thread can still take the messages sent to it meanwhile, so a program that asks back cannot deadlock it.
constexpr UINT kSendFlags = SMTO_NORMAL | SMTO_ABORTIFHUNG;

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  if (!IsWindowVisible(window)) return TRUE;
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  reinterpret_cast<std::vector<TopWindow>*>(context)->push_back({owner, window});
  return TRUE;
}

}  // namespace

std::vector<TopWindow> WindowWin32::TopLevelWindows() {
  std::vector<TopWindow> windows;
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

EndAnswer WindowWin32::QueryEnd(WindowHandle window, std::uint32_t timeoutMs) {
  const HWND hwnd = static_cast<HWND>(window);
  if (!IsWindow(hwnd)) return EndAnswer::Agreed;  // gone meanwhile: nothing left to refuse
  if (IsHungAppWindow(hwnd)) return EndAnswer::NoAnswer;
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, kSendFlags, timeoutMs, &answer) == 0) {
    return IsWindow(hwnd) ? EndAnswer::NoAnswer : EndAnswer::Agreed;
  }
  return answer != 0 ? EndAnswer::Agreed : EndAnswer::Refused;
}

void WindowWin32::EndSession(WindowHandle window, std::uint32_t timeoutMs) {
  DWORD_PTR ignored = 0;
  SendMessageTimeoutW(static_cast<HWND>(window), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, kSendFlags, timeoutMs,
                      &ignored);
}

void WindowWin32::PostClose(WindowHandle window) { PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0); }

}  // namespace tarnwick
