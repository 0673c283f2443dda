// The unattended run's sequence over the scan cycle and the process seam.
#include "ui/AutoRun.h"

namespace tarnwick {

std::optional<int> AutoRun::Tick(ScanCycle& scan, SearchList& list, ProcessApi& processes, const TerminatePass& pass) {
  if (done_) return std::nullopt;
  done_ = true;
  scan.RefreshResideList(list, processes, true);
  return pass(RowNames(list));
}

}  // namespace tarnwick
