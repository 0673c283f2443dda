// The seam to other programs' windows: which processes have top-level windows on the user's desktop,
// and the messages that ask one to close, each bounded so that a hung program cannot hold the caller.
#pragma once
#include <cstdint>
#include <optional>
#include <vector>

#include "process/FindProcess.h"

namespace tarnwick {

using WindowHandle = void*;

struct TopWindow {
  ProcessId Owner = 0;
  WindowHandle Handle = nullptr;
  bool Visible = true;
};

// What a program said to the question whether it may end (WM_QUERYENDSESSION), asked of all its windows.
enum class EndAnswer {
  Agreed,
  Refused,   // a window answered FALSE
  NoAnswer,  // Windows reports a window hung: asking more would only use up the time
  Slow,      // no answer in the time, but not hung: it may be asking its user ("Save changes?")
};

// Each cross-process send waits at most this long: a busy program costs a second, a hung one nothing.
inline constexpr std::uint32_t kAskTimeoutMs = 1000;

class WindowApi {
 public:
  virtual ~WindowApi() = default;
  // Every top-level window of the desktop with its process, hidden ones too (as Restart Manager asks
  // them). A console program's window belongs to the console host, not to it, so such a program has none.
  virtual std::vector<TopWindow> TopLevelWindows() = 0;
  // Starts asking every group of windows (one program's) at once, each group on a worker of its own:
  // WM_QUERYENDSESSION (ENDSESSION_CLOSEAPP) to each window until one does not agree, then WM_ENDSESSION
  // to each where all agreed. Every send waits at most kAskTimeoutMs, and none starts or waits past
  // budgetMs from now. Returns at once; what an earlier call asked is forgotten.
  virtual void BeginAsk(const std::vector<std::vector<WindowHandle>>& groups, std::uint32_t budgetMs) = 0;
  // What group `index` answered once its worker is done; empty while it still asks.
  virtual std::optional<EndAnswer> AskAnswer(std::size_t index) = 0;
  // Posts WM_CLOSE: nothing waits for it.
  virtual void PostClose(WindowHandle window) = 0;
};

}  // namespace tarnwick
