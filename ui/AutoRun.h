// The unattended run ("-a") as one sequence: refresh, terminate pass, result; once only.
#pragma once
#include <optional>

#include "common/ExitCodes.h"
#include "ui/ScanCycle.h"

namespace tarnwick {

// The result of a run whose pass threw: not everything may have ended (the code of "-a" for that).
inline constexpr int kAutoRunFailed = kExitNotAll;

class AutoRun {
 public:
  // The run: one refresh with every new line marked, then the terminate pass. The pass is given every
  // listed name, not only the marked lines: it ends one process of each image that runs, and it also
  // counts a process of a listed image that it may not open, which the running list never shows.
  // The pass's result is the run's exit code. Nothing (and no pass) on any later tick: a run ends
  // exactly once, even if another tick slips in while the pass is under way. A pass that throws gives
  // kAutoRunFailed.
  std::optional<int> Tick(ScanCycle& scan, const SearchList& list, ProcessApi& processes, const TerminatePass& pass);

 private:
  bool done_ = false;
};

}  // namespace tarnwick
