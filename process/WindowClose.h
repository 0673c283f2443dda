// Close before force: a process with windows is asked the way Restart Manager asks, is given a grace
// time together with the others of its pass, and is forced only if it is still there afterwards.
#pragma once
#include <cstdint>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "process/EndContext.h"

namespace tarnwick {

// Each cross-process send waits at most this long: a busy program costs a second, a hung one nothing.
inline constexpr std::uint32_t kAskTimeoutMs = 1000;

struct CloseTarget {
  std::string Image;
  ProcessId Id = 0;
  ProcessHandle Wait = nullptr;  // one that can be waited on
};

// What asking the plain processes of one pass came to.
class WindowClose {
 public:
  // Asks each target that has windows, then waits up to the grace time (never past the run's deadline)
  // for all of them at once, and records `closed` for each that went. Without a window seam nobody is asked.
  static WindowClose Ask(EndContext& context, const std::vector<CloseTarget>& targets);

  // It closed by itself: nothing is left to do.
  bool Closed(ProcessId id) const;
  // The record of a process ended by force once it is gone: "forced" with why where it was asked,
  // a plain end where it was not.
  EndRecord Ended(const std::string& image, ProcessId id) const;

 private:
  struct Asked {
    ForceReason Why = ForceReason::NotInTime;
    std::uint32_t WaitedMs = 0;
    bool Closed = false;
  };
  std::map<ProcessId, Asked> asked_;
};

// Which processes have windows, for -l: the desktop's windows are enumerated once, on first need.
class WindowOwners {
 public:
  bool Has(WindowApi* windows, ProcessId id);

 private:
  std::optional<std::set<ProcessId>> owners_;
};

}  // namespace tarnwick
