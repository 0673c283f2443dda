// Tarnwick's source in the Windows Event Log: registering it ("-register", "-unregister") and reporting
// a run's entries while it is registered to this exe.
#pragma once
#include <string>

#include "app/RunEvents.h"
#include "app/TrustWin32.h"

namespace tarnwick {

class RunContext;

inline constexpr const wchar_t* kEventSourceKey =
    L"SYSTEM\\CurrentControlSet\\Services\\EventLog\\Application\\Tarnwick";

// "-register": makes this exe the source's message file; "-unregister" removes the source. A line in the
// log and on standard output says what was done. Returns the exit code: 0 done; kExitUntrusted where the
// trust check fails (Event Viewer would read its messages from a file others can change); 1 where the
// registry refused (not elevated, say).
// The context's lines tell what was done; its trust check decides.
int RegisterTarnwickSource(RunContext& context);
int UnregisterTarnwickSource(RunContext& context);

// Reports entries through ReportEventW while the source names this exe as its message file; an
// unregistered Tarnwick writes no events, since Event Viewer could not show their text.
class EventReporter {
 public:
  EventReporter();
  ~EventReporter();
  EventReporter(const EventReporter&) = delete;
  EventReporter& operator=(const EventReporter&) = delete;
  void Report(const RunEntry& entry) const;

 private:
  void* source_ = nullptr;
};

}  // namespace tarnwick
