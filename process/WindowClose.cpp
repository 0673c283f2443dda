// Asking processes to close through their windows: all are asked at once within a share of the grace
// time, each gets WM_CLOSE as soon as it answered and its own grace time from then, and the verdict for
// each (closed, or forced and why) names the time it really had.
#include "process/WindowClose.h"

#include <algorithm>

namespace tarnwick {
namespace {

// A worker's last send ends with the asking time; its answer may take a moment more to arrive.
constexpr std::uint32_t kAnswerSlackMs = 100;

}  // namespace

WindowClose::WindowClose(EndContext& context, const std::vector<CloseTarget>& targets, Force force)
    : context_(context), force_(std::move(force)) {
  WindowApi* api = context.Windows();
  std::map<ProcessId, std::vector<WindowHandle>> byOwner;
  std::map<ProcessId, std::vector<WindowHandle>> shown;
  if (api != nullptr && !targets.empty()) {
    for (const TopWindow& window : api->TopLevelWindows()) {
      byOwner[window.Owner].push_back(window.Handle);
      if (window.Visible) shown[window.Owner].push_back(window.Handle);
    }
  }
  // Nothing to ask: these go at once, before any question can keep them waiting.
  std::vector<std::vector<WindowHandle>> groups;
  for (const CloseTarget& target : targets) {
    const auto windows = byOwner.find(target.Tag.Id);
    if (windows == byOwner.end()) {
      force_(target);
      continue;
    }
    // WM_CLOSE goes where End task sends it, to the windows the user sees; to the hidden ones only where
    // there are no others (a program in the notification area): a helper window (an input method's, a COM
    // one) would only be destroyed under its program.
    const auto visible = shown.find(target.Tag.Id);
    closing_.push_back({.Target = target,
                        .Windows = windows->second,
                        .CloseWindows = visible != shown.end() ? visible->second : windows->second,
                        .Group = groups.size()});
    groups.push_back(windows->second);
  }
  if (groups.empty()) return;
  // Asking takes at most half the grace time (a second at least), and never runs past the deadline.
  const std::uint64_t now = context.Now();
  const std::uint64_t share = std::max(context.Limits().GraceMs / 2, kAskTimeoutMs);
  askUntil_ = std::max(now, std::min(now + share, context.Deadline()));
  api->BeginAsk(groups, static_cast<std::uint32_t>(askUntil_ - now));
}

void WindowClose::Answered(Closing& closing, EndAnswer answer) {
  if (answer == EndAnswer::NoAnswer) {
    // A hung program would only use up the grace time.
    closing.Why = ForceReason::NoAnswer;
    closing.SentAt = context_.Now();
    Finish(closing, true);
    return;
  }
  // Even one that refused gets WM_CLOSE, as End task sends it: it may ask its user to save.
  for (WindowHandle window : closing.CloseWindows) context_.Windows()->PostClose(window);
  closing.Why = answer == EndAnswer::Refused ? ForceReason::Refused : ForceReason::NotInTime;
  closing.SentAt = context_.Now();
  const std::uint32_t grace = context_.Limits().GraceMs;
  const std::uint64_t floor = closing.SentAt + std::min(grace, kGraceFloorMs);
  closing.Until = std::min(closing.SentAt + grace, std::max(context_.Deadline(), floor));
  closing.State = Phase::Grace;
}

void WindowClose::Finish(Closing& closing, bool forced) {
  const CloseTarget& target = closing.Target;
  const std::uint32_t had = context_.Since(closing.SentAt);
  closing.State = Phase::Done;
  if (!forced) {
    context_.Emit(RecordOf(target.Tag, {.Result = EndResult::Ended, .WaitedMs = had, .Way = EndWay::Closed}));
    return;
  }
  forced_[target.Tag.Id] =
      RecordOf(target.Tag, {.Result = EndResult::Ended, .WaitedMs = had, .Way = EndWay::Forced, .Why = closing.Why});
  force_(target);
}

bool WindowClose::Step() {
  bool done = true;
  for (Closing& closing : closing_) {
    if (closing.State == Phase::Asking) {
      std::optional<EndAnswer> answer = context_.Windows()->AskAnswer(closing.Group);
      // Still asking when its time is up: it is told to close all the same.
      if (!answer && context_.Now() >= askUntil_ + kAnswerSlackMs) answer = EndAnswer::Slow;
      if (answer) Answered(closing, *answer);
    }
    if (closing.State == Phase::Grace) {
      if (context_.Processes().WaitForExit(closing.Target.Wait, 0)) {
        Finish(closing, false);
      } else if (context_.Now() >= closing.Until) {
        Finish(closing, true);
      }
    }
    done = done && closing.State == Phase::Done;
  }
  return done;
}

std::uint64_t WindowClose::PauseUntil() const {
  std::uint64_t until = askUntil_ + kAnswerSlackMs;
  for (const Closing& closing : closing_) {
    if (closing.State == Phase::Grace) until = std::max(until, closing.Until);
  }
  return until;
}

std::string WindowClose::Status() const {
  std::size_t asking = 0;
  std::size_t waiting = 0;
  const Closing* first = nullptr;
  for (const Closing& closing : closing_) {
    if (closing.State == Phase::Asking) ++asking;
    if (closing.State != Phase::Grace) continue;
    if (waiting++ == 0) first = &closing;
  }
  if (asking > 0) return "Asking " + std::to_string(asking) + (asking == 1 ? " program" : " programs") + " to close";
  if (first == nullptr) return {};
  const std::string others = waiting > 1 ? " and " + std::to_string(waiting - 1) + " more" : "";
  return "Waiting for " + first->Target.Tag.Image + others + " to close";
}

EndRecord WindowClose::Ended(const ProcessTag& tag) const {
  const auto forced = forced_.find(tag.Id);
  return forced == forced_.end() ? RecordOf(tag) : forced->second;
}

bool WindowOwners::Has(WindowApi* windows, ProcessId id) {
  if (windows == nullptr) return false;
  if (!owners_) {
    owners_.emplace();
    for (const TopWindow& window : windows->TopLevelWindows()) {
      if (window.Visible) owners_->insert(window.Owner);
    }
  }
  return owners_->contains(id);
}

}  // namespace tarnwick
