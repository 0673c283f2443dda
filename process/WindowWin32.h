// The window seam over user32: the desktop's top-level windows, and the close questions sent from worker
// threads with a timeout, so that neither a hung program nor a slow one holds the caller.
#pragma once
#include <memory>

#include "process/WindowApi.h"

namespace tarnwick {

class WindowWin32 final : public WindowApi {
 public:
  std::vector<TopWindow> TopLevelWindows() override;
  void BeginAsk(const std::vector<std::vector<WindowHandle>>& groups, std::uint32_t budgetMs) override;
  std::optional<EndAnswer> AskAnswer(std::size_t index) override;
  void PostClose(WindowHandle window) override;

  // The answers of one BeginAsk, shared with its workers: a worker that outlives the caller's interest
  // still has somewhere to write.
  struct Answers;

 private:
  std::shared_ptr<Answers> asking_;
};

}  // namespace tarnwick
