// The unattended run's sequence over the scan cycle and the process seam.
#include "ui/AutoRun.h"

#include "common/ProcedureEdge.h"

namespace tarnwick {

std::optional<int> AutoRun::Tick(ScanCycle& scan, const SearchList& list, ProcessApi& processes,
                                 const TerminatePass& pass) {
  if (done_) return std::nullopt;
  done_ = true;
  // However the pass goes, the run has a result: a throw must not leave the hidden window loaded,
  // holding the folder's mark, with every later run refused.
  try {
    scan.RefreshResideList(list, processes, true);
    return pass(RowNames(list));
  } catch (...) {
    ReportStoppedException("the unattended run");
    return kAutoRunFailed;
  }
}

}  // namespace tarnwick
