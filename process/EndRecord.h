// What ending, stopping or listing did to each process and service, and what follows from those
// records: the exit code of a run, its log and standard-output lines, and the window's message.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "process/Clock.h"
#include "process/FindProcess.h"

namespace tarnwick {

enum class EndResult {
  // A process of a listed image.
  Ended,            // it has ended and is gone
  NotOpened,        // it could not be opened with the rights to end it (Error says why)
  Critical,         // Windows marks it critical: ending it would stop the machine
  Refused,          // Windows refused to end it (Error)
  StillRunning,     // still there after the wait (WaitedMs)
  SharedHost,       // it hosts services that may belong to other images (Names): never ended by force
  LeftAtLimit,      // -k: still running when the run's time limit ran out
  KeptComingBack,   // -k: ended in several passes and still coming back at the limit (TimesEnded, WaitedMs)
  Listed,           // -l: it runs and could be opened (Names: the services it hosts)
  ListedNotOpened,  // -l: it runs and could not be opened (Error)
  // A service (Service names it; Image and Id are its process's).
  ServiceStopped,     // stopped through the service manager (Names: its dependents, stopped first)
  ServiceForced,      // did not stop in time (WaitedMs): its process was ended by force
  ServiceNotStopped,  // the stop could not be asked or did not happen (Error, else WaitedMs)
  // "/whatif": what a run would do to a process it would end (HasWindows: asked to close first; Names:
  // the services it would stop, in order, before the end); refusals keep their own results.
  WouldEnd,
  // The run as a whole.
  ServicesNotAsked,  // the service manager could not be asked (Error): processes are ended without a stop request
  // With a folder: who else holds it (Held says how, Path what; HeldCount how many more things).
  Holds,          // a process that is not listed, or listed and left, holds the folder: named, never ended
  AncestorHolds,  // Tarnwick's own starter (a script, an installer) holds it: named and left alone
  NotInspected,   // a process whose modules or handles could not be read (Error; 0: a 64-bit process)
  NamesGivenUp,   // HeldCount open files whose name did not come in time: the run went on without them
  OnlyOutside,    // no process ran in the folder, but listed images run outside it (Names)
  CameBack,       // -k: a process of an image already ended ran again (WaitedMs after the last end)
  WillRestart,    // a service whose process was forced has recovery actions that start it again (Names)
};

// How a holder holds the folder.
enum class HoldWay {
  None,
  Program,  // its program file lies in the folder
  Module,   // a DLL or EXE is loaded from it
  File,     // an open handle to a file under it
  Folder,   // an open handle to a folder under it, its current folder included
  Mapped,   // a view mapped from a file under it
};

// How an ended process went, where it had windows to ask.
enum class EndWay {
  Terminated,  // ended at once, never asked: no windows, a console program, or a service's process
  Closed,      // it closed by itself when asked
  Forced,      // asked, then ended by force (Why)
};
enum class ForceReason {
  None,
  NotInTime,  // it agreed to close but was still there after the grace time
  Refused,    // it answered that it would not end
  NoAnswer,   // its window did not answer or hangs: forced at once
};

struct EndRecord {
  std::string Image{};  // as the search list writes it; empty where unknown
  ProcessId Id = 0;
  SessionId Session = kUnknownSession;  // the process's Windows session
  std::string Service{};
  EndResult Result = EndResult::Ended;
  std::uint32_t Error = 0;  // the system's error number behind the result
  std::uint32_t WaitedMs = 0;
  std::vector<std::string> Names{};
  std::uint32_t TimesEnded = 0;  // KeptComingBack: how often the run ended a process of the image
  EndWay Way = EndWay::Terminated;
  ForceReason Why = ForceReason::None;
  bool HasWindows = false;  // -l: it has a top-level window on the user's desktop
  std::wstring Scope{};     // the folder the run was limited to; empty: the whole machine
  std::string ChildOf{};    // /tree: the image of the process that started this one; empty: no tree member
  ProcessId ChildOfId = 0;
  std::wstring Path{};        // the program file's full path, where the run could read it
  std::uint64_t Created = 0;  // when the process started: 100 ns ticks since 1601 in UTC; 0 where unknown
  HoldWay Held = HoldWay::None;
  std::wstring HeldPath{};      // Holds, AncestorHolds: the file or folder held, by its final path
  std::uint32_t HeldCount = 0;  // Holds: further things held beyond HeldPath; NamesGivenUp: how many

  bool operator==(const EndRecord&) const = default;
};

// The record with the process's image, identifier and session filled in from its tag.
inline EndRecord RecordOf(const ProcessTag& tag, EndRecord record = {}) {
  record.Image = tag.Image;
  record.Id = tag.Id;
  record.Session = tag.Session;
  return record;
}

// True for a record of a listed image's process that the run could not end.
bool IsFailure(const EndRecord& record);

// "program", "module", "file", "folder", "mapped".
std::string_view HoldWayName(HoldWay way);

// What a record says in words: the action and result ("could not end"), and why ("critical process ...").
struct RecordText {
  std::string What;
  std::string Why;
};
RecordText DescribeRecord(const EndRecord& record);

// The system's error number as a reason a user can act on.
std::string ErrorText(std::uint32_t error);

// "2024-05-06T02:00:01.015+02:00": local time with its offset from UTC, to the millisecond.
std::string FormatLocalTime(const LocalTime& time);

// One line of the log and of standard output, without its line break. Always the same tab-separated
// fields in the same order: time, source ("-a", "-k", "-l", "Terminate"), image, process id, session,
// what, why, and the program's full path; an empty or unknown one shows as "-".
std::string LogLine(const LocalTime& time, std::string_view source, std::string_view image, ProcessId id,
                    SessionId session, std::string_view what, std::string_view why = {}, std::wstring_view path = {});
std::string LogLine(const LocalTime& time, std::string_view source, const EndRecord& record);

// The message the window shows after Terminate: each image that could not be ended, and why, then
// each that had to be ended by force. Empty when everything ended, closing where it was asked.
std::string WindowFailureMessage(const std::vector<EndRecord>& records);

}  // namespace tarnwick
