// Other programs' windows through user32: EnumWindows, IsHungAppWindow, SendMessageTimeoutW from one
// worker thread per program, PostMessageW.
#include "process/WindowWin32.h"

#include <windows.h>

#include <mutex>
#include <system_error>
#include <thread>

namespace tarnwick {

struct WindowWin32::Answers {
  std::mutex Lock;
  std::vector<std::optional<EndAnswer>> Given;
};

namespace {

// SMTO_ABORTIFHUNG: a hung window answers at once with a failure. No SMTO_BLOCK: the window's own
// thread can still take the messages sent to it meanwhile, so a program that asks back cannot deadlock it.
constexpr UINT kSendFlags = SMTO_NORMAL | SMTO_ABORTIFHUNG;

BOOL CALLBACK CollectWindow(HWND window, LPARAM context) {
  DWORD owner = 0;
  GetWindowThreadProcessId(window, &owner);
  reinterpret_cast<std::vector<TopWindow>*>(context)->push_back({owner, window, IsWindowVisible(window) != FALSE});
  return TRUE;
}

// What is left of the budget for one send: never more than kAskTimeoutMs, 0 once it is spent.
UINT SendTimeout(ULONGLONG until) {
  const ULONGLONG now = GetTickCount64();
  return now >= until ? 0 : static_cast<UINT>(std::min<ULONGLONG>(until - now, kAskTimeoutMs));
}

EndAnswer Query(HWND hwnd, ULONGLONG until) {
  if (!IsWindow(hwnd)) return EndAnswer::Agreed;  // gone meanwhile: nothing left to refuse
  if (IsHungAppWindow(hwnd)) return EndAnswer::NoAnswer;
  const UINT timeout = SendTimeout(until);
  if (timeout == 0) return EndAnswer::Slow;
  DWORD_PTR answer = 0;
  if (SendMessageTimeoutW(hwnd, WM_QUERYENDSESSION, 0, ENDSESSION_CLOSEAPP, kSendFlags, timeout, &answer) == 0) {
    if (!IsWindow(hwnd)) return EndAnswer::Agreed;
    return IsHungAppWindow(hwnd) ? EndAnswer::NoAnswer : EndAnswer::Slow;
  }
  return answer != 0 ? EndAnswer::Agreed : EndAnswer::Refused;
}

// One program's windows, on its own worker: the first window that does not agree decides.
EndAnswer AskProgram(const std::vector<WindowHandle>& windows, ULONGLONG until) {
  for (WindowHandle window : windows) {
    const EndAnswer answer = Query(static_cast<HWND>(window), until);
    if (answer != EndAnswer::Agreed) return answer;
  }
  for (WindowHandle window : windows) {
    const UINT timeout = SendTimeout(until);
    if (timeout == 0) break;
    DWORD_PTR ignored = 0;
    SendMessageTimeoutW(static_cast<HWND>(window), WM_ENDSESSION, TRUE, ENDSESSION_CLOSEAPP, kSendFlags, timeout,
                        &ignored);
  }
  return EndAnswer::Agreed;
}

}  // namespace

std::vector<TopWindow> WindowWin32::TopLevelWindows() {
  std::vector<TopWindow> windows;
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

void WindowWin32::BeginAsk(const std::vector<std::vector<WindowHandle>>& groups, std::uint32_t budgetMs) {
  auto answers = std::make_shared<Answers>();
  answers->Given.resize(groups.size());
  asking_ = answers;
  const ULONGLONG until = GetTickCount64() + budgetMs;
  for (std::size_t i = 0; i < groups.size(); ++i) {
    try {
      // Detached: every send is bounded by `until`, so the worker ends soon after it whoever waits.
      std::thread([answers, i, windows = groups[i], until] {
        const EndAnswer answer = AskProgram(windows, until);
        const std::lock_guard<std::mutex> lock(answers->Lock);
        answers->Given[i] = answer;
      }).detach();
    } catch (const std::system_error&) {
      // No thread for it: not asked, but WM_CLOSE and the grace time still come.
      const std::lock_guard<std::mutex> lock(answers->Lock);
      answers->Given[i] = EndAnswer::Slow;
    }
  }
}

std::optional<EndAnswer> WindowWin32::AskAnswer(std::size_t index) {
  if (!asking_) return std::nullopt;
  const std::lock_guard<std::mutex> lock(asking_->Lock);
  return index < asking_->Given.size() ? asking_->Given[index] : std::nullopt;
}

void WindowWin32::PostClose(WindowHandle window) { PostMessageW(static_cast<HWND>(window), WM_CLOSE, 0, 0); }

}  // namespace tarnwick
