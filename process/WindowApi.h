// The seam to other programs' windows: which processes have top-level windows on the user's desktop,
// and the messages that ask one to close, each bounded so that a hung program cannot hold the caller.
#pragma once
#include <cstdint>
#include <vector>

#include "process/FindProcess.h"

namespace tarnwick {

using WindowHandle = void*;

struct TopWindow {
  ProcessId Owner = 0;
  WindowHandle Handle = nullptr;
};

// What a window said to the question whether its program may end (WM_QUERYENDSESSION).
enum class EndAnswer {
  Agreed,
  Refused,   // it answered FALSE
  NoAnswer,  // the send failed or timed out, or Windows reports the window hung
};

class WindowApi {
 public:
  virtual ~WindowApi() = default;
  // Every visible top-level window of the desktop with its process. A console program's window belongs to
  // the console host, not to it, so such a program has none.
  virtual std::vector<TopWindow> TopLevelWindows() = 0;
  // WM_QUERYENDSESSION with ENDSESSION_CLOSEAPP, waiting at most timeoutMs for the answer.
  virtual EndAnswer QueryEnd(WindowHandle window, std::uint32_t timeoutMs) = 0;
  // WM_ENDSESSION (ending: TRUE, ENDSESSION_CLOSEAPP), waiting at most timeoutMs for it to be handled.
  virtual void EndSession(WindowHandle window, std::uint32_t timeoutMs) = 0;
  // Posts WM_CLOSE: nothing waits for it.
  virtual void PostClose(WindowHandle window) = 0;
};

}  // namespace tarnwick
