// The words of the records: reasons, log lines, which results are failures, and the window's message.
#include "process/EndRecord.h"

#include <cstdio>
#include <cstdlib>

#include "process/LogText.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

std::string Seconds(std::uint32_t ms) {
  char text[32];
  std::snprintf(text, sizeof(text), "%u.%u s", ms / 1000, (ms % 1000) / 100);
  return text;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) text += (text.empty() ? "" : ", ") + name;
  return text;
}

// A field of a tab-separated line: no character may split, forge or hide a line (it is escaped), and an
// empty one shows as "-".
void AppendField(std::string& line, std::string_view field) {
  if (!line.empty()) line += '\t';
  if (field.empty()) field = "-";
  AppendEscaped(line, field);
}

std::string ForceText(ForceReason why) {
  switch (why) {
    case ForceReason::NotInTime:
      return "it did not close in time";
    case ForceReason::Refused:
      return "it refused";
    case ForceReason::NoAnswer:
      return "it did not answer";
    case ForceReason::None:
      break;
  }
  return {};
}

// A line without "has windows" says that the process has none: the lines of windowless programs stay short.
std::string ListedText(const EndRecord& r) {
  std::string services = r.Names.empty() ? "" : "services: " + Joined(r.Names);
  if (!r.HasWindows) return services;
  return services.empty() ? "has windows" : "has windows; " + services;
}

std::string HeldText(const EndRecord& r) {
  std::string text = std::string(HoldWayName(r.Held)) + " " + Utf8(r.HeldPath);
  if (r.HeldCount > 0) text += " (and " + std::to_string(r.HeldCount) + " more)";
  return text;
}

}  // namespace

bool IsFailure(const EndRecord& record) {
  switch (record.Result) {
    case EndResult::NotOpened:
    case EndResult::Critical:
    case EndResult::Refused:
    case EndResult::StillRunning:
    case EndResult::SharedHost:
    case EndResult::LeftAtLimit:
    case EndResult::KeptComingBack:
      return true;
    default:
      return false;
  }
}

std::string_view HoldWayName(HoldWay way) {
  switch (way) {
    case HoldWay::Program:
      return "program";
    case HoldWay::Module:
      return "module";
    case HoldWay::File:
      return "file";
    case HoldWay::Folder:
      return "folder";
    case HoldWay::Mapped:
      return "mapped";
    case HoldWay::None:
      break;
  }
  return {};
}

std::string ErrorText(std::uint32_t error) {
  switch (error) {
    case 0:
      return {};
    case kErrorAccessDenied:
      return "access denied: start Tarnwick as administrator";
    case 1051:
      return "services that depend on it still run";
    case 1053:
      return "the service did not answer in time";
    case 1060:
      return "no such service";
    case 1061:
      return "the service cannot take a stop request now";
    case 1062:
      return "the service is not running";
    default:
      return "system error " + std::to_string(error);
  }
}

namespace {

RecordText DescribeResult(const EndRecord& r) {
  const std::string service = "service " + r.Service + ": ";
  switch (r.Result) {
    case EndResult::Ended:
      if (r.Way == EndWay::Closed) return {"closed", ""};
      if (r.Way == EndWay::Forced) return {"forced after " + Seconds(r.WaitedMs), ForceText(r.Why)};
      return {"ended", r.WaitedMs > 0 ? "forced after " + Seconds(r.WaitedMs) : ""};
    case EndResult::NotOpened:
      return {"could not end", "could not open it: " + ErrorText(r.Error)};
    case EndResult::Critical:
      return {"could not end", "a critical process: ending it would stop Windows"};
    case EndResult::Refused:
      return {"could not end", "Windows refused: " + ErrorText(r.Error)};
    case EndResult::StillRunning:
      return {"still running after the wait", Seconds(r.WaitedMs)};
    case EndResult::SharedHost:
      return {"could not end", "a shared service host (" + Joined(r.Names) + "): never ended by force"};
    case EndResult::LeftAtLimit:
      return {"still running when the time limit ran out", Seconds(r.WaitedMs)};
    case EndResult::KeptComingBack:
      return {"kept coming back", "ended " + std::to_string(r.TimesEnded) + " times until the time limit ran out (" +
                                      Seconds(r.WaitedMs) + ")"};
    case EndResult::Listed:
      return {"listed", ListedText(r)};
    case EndResult::ListedNotOpened:
      return {"listed", "could not open it: " + ErrorText(r.Error)};
    case EndResult::ServiceStopped:
      return {service + "stopped", r.Names.empty() ? "" : "its dependents first: " + Joined(r.Names)};
    case EndResult::ServiceForced:
      return {service + "forced after " + Seconds(r.WaitedMs),
              r.Error == 1053 ? "the service manager did not answer the stop request" : "it did not stop in time"};
    case EndResult::ServiceNotStopped:
      return {service + "could not stop",
              r.Error != 0 ? ErrorText(r.Error) : "it did not stop within " + Seconds(r.WaitedMs)};
    case EndResult::WouldEnd:
      if (!r.Names.empty()) return {"would stop services", Joined(r.Names) + ", in this order, then end it"};
      if (r.HasWindows) return {"would close", "asked first; forced if still there after the grace time"};
      return {"would end", ""};
    case EndResult::ServicesNotAsked:
      return {"services not asked to stop", "the service manager could not be asked: " + ErrorText(r.Error) +
                                                "; processes are ended without a stop request"};
    case EndResult::Holds:
    case EndResult::AncestorHolds:
      return {r.Result == EndResult::Holds ? "holds the folder" : "holds the folder: Tarnwick's starter, left alone",
              HeldText(r)};
    case EndResult::NotInspected:
      return {"not inspected", r.Error != 0 ? "could not read what it holds: " + ErrorText(r.Error)
                                            : "a 64-bit process: run the 64-bit Tarnwick.exe to see what it holds"};
    case EndResult::NamesGivenUp:
      return {"names not read", std::to_string(r.HeldCount) +
                                    " open files did not give their name in time: the run went on without them"};
    case EndResult::OnlyOutside:
      return {"none in the folder", "listed images run only outside it: " + Joined(r.Names)};
    case EndResult::CameBack:
      return {"came back", Seconds(r.WaitedMs) + " after it was ended"};
    case EndResult::WillRestart:
      return {service + "will be started again", "its recovery actions: " + Joined(r.Names)};
  }
  return {};
}

}  // namespace

RecordText DescribeRecord(const EndRecord& record) {
  RecordText text = DescribeResult(record);
  // A member of a tree says whose child it is.
  if (record.ChildOfId != 0) {
    const std::string child = "child of " + record.ChildOf + " (" + std::to_string(record.ChildOfId) + ")";
    text.Why = text.Why.empty() ? child : text.Why + "; " + child;
  }
  return text;
}

std::string FormatLocalTime(const LocalTime& t) {
  const int offset = std::abs(t.UtcOffsetMinutes);
  char text[40];
  std::snprintf(text, sizeof(text), "%04d-%02d-%02dT%02d:%02d:%02d.%03d%c%02d:%02d", t.Year, t.Month, t.Day, t.Hour,
                t.Minute, t.Second, t.Millisecond, t.UtcOffsetMinutes < 0 ? '-' : '+', offset / 60, offset % 60);
  return text;
}

std::string LogLine(const LocalTime& time, std::string_view source, std::string_view image, ProcessId id,
                    SessionId session, std::string_view what, std::string_view why, std::wstring_view path) {
  std::string line;
  AppendField(line, FormatLocalTime(time));
  AppendField(line, source);
  AppendField(line, image);
  AppendField(line, id != 0 ? std::to_string(id) : "");
  AppendField(line, session != kUnknownSession ? std::to_string(session) : "");
  AppendField(line, what);
  AppendField(line, why);
  AppendField(line, Utf8(path));
  return line;
}

std::string LogLine(const LocalTime& time, std::string_view source, const EndRecord& record) {
  const RecordText text = DescribeRecord(record);
  return LogLine(time, source, record.Image, record.Id, record.Session, text.What, text.Why, record.Path);
}

std::string WindowFailureMessage(const std::vector<EndRecord>& records) {
  std::string lines;
  for (const EndRecord& record : records) {
    if (!IsFailure(record)) continue;
    const RecordText text = DescribeRecord(record);
    const std::string reason = text.What == "could not end" ? text.Why : text.What + " (" + text.Why + ")";
    lines += "\n" + record.Image + " (process " + std::to_string(record.Id) + "): " + reason;
  }
  std::string forced;
  for (const EndRecord& record : records) {
    if (record.Result != EndResult::Ended || record.Way != EndWay::Forced) continue;
    forced += "\n" + record.Image + " (process " + std::to_string(record.Id) + "): " + ForceText(record.Why);
  }
  if (!lines.empty()) lines = "These processes could not be ended:\n" + lines;
  if (!forced.empty())
    lines += (lines.empty() ? "" : "\n\n") + std::string("These processes had to be ended by force:\n") + forced;
  return lines;
}

}  // namespace tarnwick
