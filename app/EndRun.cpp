// The run's start and end lines around the pipeline, for the switches and for the window.
#include "app/EndRun.h"

#include <algorithm>
#include <cstdio>

#include "process/Holders.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

EndMode ModeOf(RunSwitch runSwitch) {
  switch (runSwitch) {
    case RunSwitch::Kill:
      return EndMode::Every;
    case RunSwitch::List:
      return EndMode::ListOnly;
    case RunSwitch::Auto:
      break;
  }
  return EndMode::OnePerImage;
}

std::string EndNote(int exitCode, std::uint64_t ms, std::size_t notInspected = 0) {
  char text[64];
  std::snprintf(text, sizeof(text), "exit code %d, %llu.%llu s", exitCode, static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned long long>(ms % 1000 / 100));
  if (notInspected == 0) return text;
  return text + ("; " + std::to_string(notInspected)) + " processes not inspected";
}

// 1 wins over 6: what the run set out to end comes first; holders count only with a folder.
int ExitCodeOf(EndMode mode, const std::vector<EndRecord>& records) {
  const int code = EndExitCode(mode, records);
  return code == kExitDone && FolderHeld(records) ? kExitHeld : code;
}

std::vector<EndRecord> RunWithLines(const std::string& source, const RunInfo& info, EndRequest request,
                                    const EndSeams& seams, LineSink& sink) {
  request.OnRecord = [&](const EndRecord& record) {
    sink.Write({.Time = seams.Time.Local(), .Source = source, .Run = &info, .Record = &record});
  };
  return EndProcesses(seams, request);
}

std::string PrivilegeNote(bool held, const std::string& more) {
  std::string note = held ? "debug privilege enabled" : "debug privilege not held: not an elevated administrator";
  return more.empty() ? note : note + "; " + more;
}

RunEntry StartEntry(Clock& clock, const std::string& source, const RunInfo& info, std::string note,
                    const RunOptions* options = nullptr) {
  return {.Kind = RunEntryKind::Start,
          .Time = clock.Local(),
          .Source = source,
          .Run = &info,
          .Note = std::move(note),
          .Options = options};
}

RunEntry EndEntry(Clock& clock, const std::string& source, const RunInfo& info, int exitCode, std::uint64_t ms,
                  const std::vector<EndRecord>* records) {
  return {.Kind = RunEntryKind::End,
          .Time = clock.Local(),
          .Source = source,
          .Run = &info,
          .ExitCode = exitCode,
          .Ms = ms,
          .Records = records};
}

// A start line and an end line that says why nothing was done.
int Refuse(const std::string& source, Clock& clock, LineSink& sink, const RunInfo& info, int exitCode, Refusal refusal,
           const std::string& why) {
  sink.Write(StartEntry(clock, source, info, info.StartNote));
  RunEntry end = EndEntry(clock, source, info, exitCode, 0, nullptr);
  end.Refused = refusal;
  end.Note = why;
  sink.Write(end);
  return exitCode;
}

}  // namespace

const char* SourceOf(RunSwitch runSwitch) {
  switch (runSwitch) {
    case RunSwitch::Auto:
      return "-a";
    case RunSwitch::Kill:
      return "-k";
    case RunSwitch::List:
      return "-l";
  }
  return "";
}

EntryFields FieldsOf(const RunEntry& e) {
  static const RunInfo kNobody;
  const RunInfo& run = e.Run != nullptr ? *e.Run : kNobody;
  if (e.Kind == RunEntryKind::Record) {
    const RecordText text = DescribeRecord(*e.Record);
    return {.Image = e.Record->Image,
            .Id = e.Record->Id,
            .Session = e.Record->Session,
            .What = text.What,
            .Why = text.Why,
            .Path = e.Record->Path};
  }
  EntryFields fields{.Image = run.ExeImage, .Id = run.OwnId, .Session = run.OwnSession, .Path = run.ExePath};
  if (e.Kind == RunEntryKind::Start) {
    fields.What = "run started";
    fields.Why = e.Note;
  } else {
    fields.What = "run ended";
    const std::size_t notInspected =
        e.Records == nullptr
            ? 0
            : static_cast<std::size_t>(std::count_if(e.Records->begin(), e.Records->end(), [](const EndRecord& r) {
                return r.Result == EndResult::NotInspected;
              }));
    fields.Why = EndNote(e.ExitCode, e.Ms, notInspected) + (e.Note.empty() ? "" : ": " + e.Note + "; nothing was done");
  }
  return fields;
}

std::string TextLine(const RunEntry& e) {
  const EntryFields f = FieldsOf(e);
  return LogLine(e.Time, e.Source, f.Image, f.Id, f.Session, f.What, f.Why, f.Path);
}

int RunUnattended(RunSwitch runSwitch, const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                  const RunInfo& info, const RunOptions& options) {
  if (!info.ListUnread.empty() && runSwitch != RunSwitch::List) {
    return Refuse(SourceOf(runSwitch), seams.Time, sink, info, kExitCouldNotStart, Refusal::ListUnread,
                  "the list could not be read: " + info.ListUnread);
  }
  const std::string source = SourceOf(runSwitch);
  const PrivilegeScope rights(info.Rights);
  const std::uint64_t start = seams.Time.NowMs();
  const std::string scope = options.Folder.empty() ? "" : "; scope: " + Utf8(options.Folder);
  std::string note = info.Rights != nullptr ? PrivilegeNote(rights.Held(), info.StartNote) : info.StartNote;
  if (!info.ListUnread.empty())
    note += (note.empty() ? "" : "; ") + std::string("the user's entries could not be read: ") + info.ListUnread;
  const std::string whatIf = options.WhatIf && runSwitch != RunSwitch::List ? "; what if: nothing is ended" : "";
  sink.Write(StartEntry(seams.Time, source, info, note + scope + whatIf, &options));
  EndRequest request;
  request.Images = images;
  request.Mode = ModeOf(runSwitch);
  request.Limits = options.Applied(EndLimits::Unattended());
  request.Scope = options.Folder;
  request.Tree = options.Tree;
  request.AllInScope = options.All;
  request.WhatIf = options.WhatIf && runSwitch != RunSwitch::List;
  request.WhileWaiting = info.WhileWaiting;
  const std::vector<EndRecord> records = RunWithLines(source, info, request, seams, sink);
  // "/whatif" answers as -l does: 1 when the run would have found something to act on.
  int exitCode = ExitCodeOf(request.WhatIf ? EndMode::ListOnly : request.Mode, records);
  // Listed without the user's entries: a script must not take the answer for the whole list's.
  if (!info.ListUnread.empty() && exitCode == kExitDone) exitCode = kExitNotAll;
  sink.Write(EndEntry(seams.Time, source, info, exitCode, seams.Time.NowMs() - start, &records));
  return exitCode;
}

int RefuseUnattended(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info) {
  return Refuse(SourceOf(runSwitch), clock, sink, info, kExitAnotherRuns, Refusal::AnotherRuns,
                "another Tarnwick runs from this folder");
}

int RefuseUntrusted(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info) {
  return Refuse(SourceOf(runSwitch), clock, sink, info, kExitUntrusted, Refusal::Untrusted,
                "others can change what the run would act on");
}

int RefuseCommandLine(const std::string& source, Clock& clock, LineSink& sink, const RunInfo& info,
                      const std::string& problem) {
  return Refuse(source, clock, sink, info, kExitBadCommandLine, Refusal::BadCommandLine,
                "bad command line: " + problem);
}

std::string TerminateFromWindow(const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                                const KeepAlive& whileWaiting, const EndLimits& limits, const RunInfo& info) {
  const std::string source = "Terminate";
  const std::uint64_t start = seams.Time.NowMs();
  sink.Write(StartEntry(seams.Time, source, info, info.StartNote));
  EndRequest request;
  request.Images = images;
  request.Mode = EndMode::OnePerImage;
  request.Limits = limits;
  // The window acts for its user: never on another signed-in user's programs.
  request.Sessions = SessionScope::WindowOf(seams.Processes.SessionOf(seams.Processes.OwnId()));
  request.WhileWaiting = whileWaiting;
  const std::vector<EndRecord> records = RunWithLines(source, info, request, seams, sink);
  sink.Write(
      EndEntry(seams.Time, source, info, EndExitCode(request.Mode, records), seams.Time.NowMs() - start, &records));
  return WindowFailureMessage(records);
}

}  // namespace tarnwick
