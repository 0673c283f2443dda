// The Event Log's view of a run's entries: which event each is, at which level, with which strings.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "app/EndRun.h"

namespace tarnwick {

// The event IDs, stable from one version to the next; res/Tarnwick.mc holds their messages.
enum EventId : std::uint32_t {
  kEventRunStarted = 1000,
  kEventRunEnded = 1001,
  kEventProcessEnded = 1010,  // ended, closed or forced
  kEventProcessListed = 1011,
  kEventProcessNotEnded = 1020,
  kEventStillRunning = 1021,
  kEventKeptComingBack = 1022,
  kEventServiceStopped = 1030,
  kEventServiceForced = 1031,
  kEventServiceNotStopped = 1032,
  kEventServicesNotAsked = 1033,
  kEventUntrusted = 1040,
  kEventBadCommandLine = 1050,
  kEventAnotherRuns = 1060,
  kEventFolderHeld = 1070,
};
inline constexpr EventId kEventIds[] = {
    kEventRunStarted,       kEventRunEnded,       kEventProcessEnded,   kEventProcessListed, kEventProcessNotEnded,
    kEventStillRunning,     kEventKeptComingBack, kEventServiceStopped, kEventServiceForced, kEventServiceNotStopped,
    kEventServicesNotAsked, kEventUntrusted,      kEventBadCommandLine, kEventAnotherRuns,   kEventFolderHeld};

enum class EventLevel { Information, Warning, Error };

struct RunEvent {
  EventId Id = kEventRunStarted;
  EventLevel Level = EventLevel::Information;
  // One per field of the log line, in its order: time, switch, image, process id, session, what, why,
  // the program's full path; "-" for an empty one.
  std::vector<std::string> Strings{};
};

// The events of an entry: one, or for a run that did nothing, the refusal and then the end.
std::vector<RunEvent> EventsOf(const RunEntry& entry);

}  // namespace tarnwick
