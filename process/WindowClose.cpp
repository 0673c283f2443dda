// Asking processes to close through their windows: the end-session question, then WM_CLOSE, one grace
// time for all, and the verdict for each (closed, or forced and why).
#include "process/WindowClose.h"

namespace tarnwick {
namespace {

// The question goes to every window first: one that refuses or does not answer decides for its process.
EndAnswer AskEach(WindowApi& api, const std::vector<WindowHandle>& windows) {
  for (WindowHandle window : windows) {
    const EndAnswer answer = api.QueryEnd(window, kAskTimeoutMs);
    if (answer != EndAnswer::Agreed) return answer;
  }
  return EndAnswer::Agreed;
}

}  // namespace

WindowClose WindowClose::End(EndContext& context, const std::vector<CloseTarget>& targets, const Force& force) {
  WindowClose result;
  WindowApi* api = context.Windows();
  std::map<ProcessId, std::vector<WindowHandle>> byOwner;
  if (api != nullptr && !targets.empty()) {
    for (const TopWindow& window : api->TopLevelWindows()) byOwner[window.Owner].push_back(window.Handle);
  }
  // Nothing to ask: these go at once, before any question can keep them waiting.
  for (const CloseTarget& target : targets) {
    if (!byOwner.contains(target.Id)) force(target);
  }

  std::vector<const CloseTarget*> waiting;
  for (const CloseTarget& target : targets) {
    const auto windows = byOwner.find(target.Id);
    if (windows == byOwner.end()) continue;
    const EndAnswer answer = AskEach(*api, windows->second);
    if (answer == EndAnswer::NoAnswer) {
      // A hung program would only use up the grace time.
      result.asked_[target.Id] = {.Why = ForceReason::NoAnswer};
      force(target);
      continue;
    }
    if (answer == EndAnswer::Agreed) {
      for (WindowHandle window : windows->second) api->EndSession(window, kAskTimeoutMs);
    }
    // Even one that refused gets WM_CLOSE, as End task sends it: it may ask its user to save.
    for (WindowHandle window : windows->second) api->PostClose(window);
    result.asked_[target.Id] = {.Why = answer == EndAnswer::Refused ? ForceReason::Refused : ForceReason::NotInTime};
    waiting.push_back(&target);
  }

  // One grace time for all: the waits overlap.
  const std::uint64_t start = context.Now();
  const std::uint64_t until = context.Until(context.Limits().GraceMs);
  for (const CloseTarget* target : waiting) {
    Asked& asked = result.asked_[target->Id];
    asked.Closed = context.WaitGone(target->Wait, until, "Waiting for " + target->Image + " to close");
    asked.WaitedMs = context.Since(start);
    if (asked.Closed) {
      context.Emit({.Image = target->Image,
                    .Id = target->Id,
                    .Session = target->Session,
                    .Result = EndResult::Ended,
                    .WaitedMs = asked.WaitedMs,
                    .Way = EndWay::Closed});
    }
  }
  for (const CloseTarget* target : waiting) {
    if (!result.asked_[target->Id].Closed) force(*target);
  }
  return result;
}

bool WindowClose::Closed(ProcessId id) const {
  const auto asked = asked_.find(id);
  return asked != asked_.end() && asked->second.Closed;
}

EndRecord WindowClose::Ended(const std::string& image, ProcessId id, SessionId session) const {
  const auto asked = asked_.find(id);
  if (asked == asked_.end()) return {.Image = image, .Id = id, .Session = session, .Result = EndResult::Ended};
  return {.Image = image,
          .Id = id,
          .Session = session,
          .Result = EndResult::Ended,
          .WaitedMs = asked->second.WaitedMs,
          .Way = EndWay::Forced,
          .Why = asked->second.Why};
}

bool WindowOwners::Has(WindowApi* windows, ProcessId id) {
  if (windows == nullptr) return false;
  if (!owners_) {
    owners_.emplace();
    for (const TopWindow& window : windows->TopLevelWindows()) owners_->insert(window.Owner);
  }
  return owners_->contains(id);
}

}  // namespace tarnwick
