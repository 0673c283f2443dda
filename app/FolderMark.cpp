// Which mark decides whether another Tarnwick of the folder runs.
#include "app/FolderMark.h"

namespace tarnwick {

bool TakeFolderMark(MarkApi& marks, bool administrators) {
  if (administrators) {
    const MarkAnswer own = marks.Make(MarkPlace::Administrators);
    if (own == MarkAnswer::Existed) return true;
    if (own == MarkAnswer::Made) {
      // Whoever made the machine-wide mark first, it decides nothing for this run.
      static_cast<void>(marks.Make(MarkPlace::Global));
      return false;
    }
  }
  switch (marks.Make(MarkPlace::Global)) {
    case MarkAnswer::Made:
      return false;
    case MarkAnswer::Existed:
      return true;
    case MarkAnswer::Denied:  // every Tarnwick's mark lets everyone open it: this one was made to block
    case MarkAnswer::Failed:
      break;
  }
  return marks.Make(MarkPlace::Local) == MarkAnswer::Existed;
}

}  // namespace tarnwick
