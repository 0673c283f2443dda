// Close before force: every process with windows is asked at once, the way Restart Manager asks, gets its
// own grace time from the moment WM_CLOSE went to it, and is forced only if it is still there afterwards.
#pragma once
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "process/EndContext.h"

namespace tarnwick {

// Even at the run's deadline a program told to close gets about this long before it is forced.
inline constexpr std::uint32_t kGraceFloorMs = 1000;
// How often a pass looks whether programs asked to close have gone.
inline constexpr std::uint32_t kClosePollMs = 100;

struct CloseTarget {
  ProcessTag Tag;
  ProcessHandle Wait = nullptr;  // one that can be waited on
  std::size_t Index = 0;         // the caller's own number for it
};

// The close of the plain processes of one pass, advanced a step at a time so that the pass can stop
// services meanwhile.
class WindowClose {
 public:
  using Force = std::function<void(const CloseTarget& target)>;

  // Forces at once those without windows (all of them without a window seam) and starts asking the others.
  WindowClose(EndContext& context, const std::vector<CloseTarget>& targets, Force force);

  // One look: WM_CLOSE to each program whose answer came (or whose asking ran out of time), and its grace
  // time from then; `closed` recorded for each that went, `force` for each hung or past its grace time.
  // True once nothing is left to do.
  bool Step();
  // The latest moment a step still waits for.
  std::uint64_t PauseUntil() const;
  // What the window shows meanwhile; empty when nothing is awaited.
  std::string Status() const;

  // The record of a process ended by force once it is gone: "forced" after the time it had, and why,
  // where it was asked; a plain end where it was not.
  EndRecord Ended(const ProcessTag& tag) const;

 private:
  enum class Phase { Asking, Grace, Done };
  struct Closing {
    CloseTarget Target;
    std::vector<WindowHandle> Windows;       // asked: all of its top-level windows
    std::vector<WindowHandle> CloseWindows;  // sent WM_CLOSE
    std::size_t Group = 0;
    Phase State = Phase::Asking;
    ForceReason Why = ForceReason::NotInTime;
    std::uint64_t SentAt = 0;  // when WM_CLOSE went
    std::uint64_t Until = 0;   // the end of its grace time
  };
  void Answered(Closing& closing, EndAnswer answer);
  void Finish(Closing& closing, bool forced);

  EndContext& context_;
  Force force_;
  std::vector<Closing> closing_;
  std::uint64_t askUntil_ = 0;
  std::map<ProcessId, EndRecord> forced_;
};

// Which processes have windows, for -l: the desktop's visible windows are enumerated once, on first need.
class WindowOwners {
 public:
  bool Has(WindowApi* windows, ProcessId id);

 private:
  std::optional<std::set<ProcessId>> owners_;
};

}  // namespace tarnwick
