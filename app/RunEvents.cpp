// Which event and level each entry of a run is; its strings are the fields of its log line.
#include "app/RunEvents.h"

#include "process/Scope.h"

namespace tarnwick {
namespace {

std::vector<std::string> StringsOf(const RunEntry& e) {
  const EntryFields f = FieldsOf(e);
  const auto shown = [](const std::string& text) { return text.empty() ? std::string("-") : text; };
  return {FormatLocalTime(e.Time),
          shown(e.Source),
          shown(f.Image),
          f.Id != 0 ? std::to_string(f.Id) : "-",
          f.Session != kUnknownSession ? std::to_string(f.Session) : "-",
          shown(f.What),
          shown(f.Why),
          shown(Utf8(f.Path))};
}

RunEvent RecordEvent(const EndRecord& r) {
  using L = EventLevel;
  switch (r.Result) {
    case EndResult::Ended:
      return {kEventProcessEnded, r.Way == EndWay::Forced ? L::Warning : L::Information};
    case EndResult::Listed:
    case EndResult::ListedNotOpened:
    case EndResult::WouldEnd:
      return {kEventProcessListed, L::Information};
    case EndResult::StillRunning:
    case EndResult::LeftAtLimit:
      return {kEventStillRunning, L::Error};
    case EndResult::KeptComingBack:
      return {kEventKeptComingBack, L::Error};
    case EndResult::ServiceStopped:
      return {kEventServiceStopped, L::Information};
    case EndResult::ServiceForced:
      return {kEventServiceForced, L::Warning};
    case EndResult::ServiceNotStopped:
      return {kEventServiceNotStopped, L::Error};
    case EndResult::ServicesNotAsked:
      return {kEventServicesNotAsked, L::Warning};
    case EndResult::Holds:
    case EndResult::AncestorHolds:
      return {kEventFolderHeld, L::Warning};
    case EndResult::NotInspected:
    case EndResult::NamesGivenUp:
    case EndResult::OnlyOutside:
    case EndResult::WillRestart:
      return {kEventProcessListed, L::Warning};
    case EndResult::CameBack:
      return {kEventKeptComingBack, L::Warning};
    default:
      return {kEventProcessNotEnded, L::Error};
  }
}

EventLevel EndLevel(const RunEntry& e) {
  if (e.ExitCode == 0 || (e.ExitCode == 1 && e.Source == "-l")) return EventLevel::Information;
  return e.ExitCode <= 2 ? EventLevel::Warning : EventLevel::Error;
}

}  // namespace

std::vector<RunEvent> EventsOf(const RunEntry& e) {
  std::vector<std::string> strings = StringsOf(e);
  switch (e.Kind) {
    case RunEntryKind::Start:
      return {{kEventRunStarted, EventLevel::Information, strings}};
    case RunEntryKind::Record: {
      RunEvent event = RecordEvent(*e.Record);
      event.Strings = strings;
      return {event};
    }
    case RunEntryKind::End:
      break;
  }
  std::vector<RunEvent> events;
  if (e.Refused == Refusal::Untrusted) events.push_back({kEventUntrusted, EventLevel::Error, strings});
  if (e.Refused == Refusal::BadCommandLine) events.push_back({kEventBadCommandLine, EventLevel::Error, strings});
  if (e.Refused == Refusal::AnotherRuns) events.push_back({kEventAnotherRuns, EventLevel::Warning, strings});
  if (e.Refused == Refusal::ListUnread) events.push_back({kEventProcessNotEnded, EventLevel::Error, strings});
  events.push_back({kEventRunEnded, EndLevel(e), strings});
  return events;
}

}  // namespace tarnwick
