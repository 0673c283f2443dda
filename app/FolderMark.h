// The rule of the one-Tarnwick-per-folder mark, over the few ways of making a named mark, so that it is
// tested on a fake: where an elevated run's mark lives, and what another's mark means.
#pragma once

namespace tarnwick {

// Where a mark of the folder's name is made: a namespace that only administrators can make, the
// machine-wide one, or the session's own.
enum class MarkPlace { Administrators, Global, Local };

enum class MarkAnswer {
  Made,     // this process made it and holds it
  Existed,  // another process holds it; this one holds it too now
  Denied,   // another account made it and keeps it to itself: no Tarnwick does that, so it is a squatter's
  Failed,   // it could not be made there (no such namespace, a name the system refuses)
};

class MarkApi {
 public:
  virtual ~MarkApi() = default;
  virtual MarkAnswer Make(MarkPlace place) = 0;
};

// Takes the folder's mark; true when another Tarnwick of the folder runs. With `administrators` (an
// elevated run where Windows has private namespaces) only a mark there counts: anybody can make a
// machine-wide mark first and would otherwise block every scheduled run. The elevated run also holds the
// machine-wide mark, so that runs without rights still see it. A machine-wide mark that this account may
// not open was made to block: the session's mark decides then.
bool TakeFolderMark(MarkApi& marks, bool administrators);

}  // namespace tarnwick
