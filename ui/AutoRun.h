// The unattended run ("-a") as one sequence: refresh, terminate pass, result; once only.
#pragma once
#include <optional>

#include "ui/ScanCycle.h"

namespace tarnwick {

class AutoRun {
 public:
  // The run: one refresh with every new line marked, then the terminate pass over the marked lines.
  // The pass's result is the run's exit code. Nothing (and no pass) on any later tick: a run ends
  // exactly once, even if another tick slips in while the pass is under way.
  std::optional<int> Tick(ScanCycle& scan, SearchList& list, ProcessApi& processes, const TerminatePass& pass);

 private:
  bool done_ = false;
};

}  // namespace tarnwick
