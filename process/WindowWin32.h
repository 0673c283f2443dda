// The window seam over user32: the desktop's visible top-level windows, and the close messages sent
// with a timeout so that a hung program never holds the caller.
#pragma once
#include "process/WindowApi.h"

namespace tarnwick {

class WindowWin32 final : public WindowApi {
 public:
  std::vector<TopWindow> TopLevelWindows() override;
  EndAnswer QueryEnd(WindowHandle window, std::uint32_t timeoutMs) override;
  void EndSession(WindowHandle window, std::uint32_t timeoutMs) override;
  void PostClose(WindowHandle window) override;
};

}  // namespace tarnwick
