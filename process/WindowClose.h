// Close before force: a process with windows is asked the way Restart Manager asks, is given a grace
// time together with the others of its pass, and is forced only if it is still there afterwards.
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

// Each cross-process send waits at most this long: a busy program costs a second, a hung one nothing.
inline constexpr std::uint32_t kAskTimeoutMs = 1000;

struct CloseTarget {
  std::string Image;
  ProcessId Id = 0;
  SessionId Session = kUnknownSession;
  ProcessHandle Wait = nullptr;  // one that can be waited on
  std::size_t Index = 0;         // the caller's own number for it
};

// What asking the plain processes of one pass came to.
class WindowClose {
 public:
  using Force = std::function<void(const CloseTarget& target)>;

  // Ends the targets: `force` at once for those without windows (and for all without a window seam) and
  // for those whose windows do not answer; the others are asked, given the grace time together (never
  // past the run's deadline), and recorded `closed` when they went, else forced.
  static WindowClose End(EndContext& context, const std::vector<CloseTarget>& targets, const Force& force);

  // It closed by itself: nothing is left to do.
  bool Closed(ProcessId id) const;
  // The record of a process ended by force once it is gone: "forced" with why where it was asked,
  // a plain end where it was not.
  EndRecord Ended(const std::string& image, ProcessId id, SessionId session) const;

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
