// The run's start and end lines around the pipeline, for the switches and for the window.
#include "app/EndRun.h"

#include <cstdio>

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

std::string EndNote(int exitCode, std::uint64_t ms) {
  char text[64];
  std::snprintf(text, sizeof(text), "exit code %d, %llu.%llu s", exitCode, static_cast<unsigned long long>(ms / 1000),
                static_cast<unsigned long long>(ms % 1000 / 100));
  return text;
}

std::vector<EndRecord> RunWithLines(const std::string& source, EndRequest request, const EndSeams& seams,
                                    LineSink& sink) {
  request.OnRecord = [&](const EndRecord& record) { sink.WriteLine(LogLine(seams.Time.Local(), source, record)); };
  return EndProcesses(seams, request);
}

std::string PrivilegeNote(bool held, const std::string& more) {
  std::string note = held ? "debug privilege enabled" : "debug privilege not held: not an elevated administrator";
  return more.empty() ? note : note + "; " + more;
}

// A start line and an end line that says why nothing was done.
int Refuse(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info, int exitCode, const char* why) {
  const std::string source = SourceOf(runSwitch);
  sink.WriteLine(
      LogLine(clock.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, "run started", info.StartNote));
  sink.WriteLine(LogLine(clock.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, "run ended",
                         EndNote(exitCode, 0) + ": " + why + "; nothing was done"));
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

int RunUnattended(RunSwitch runSwitch, const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                  const RunInfo& info, const RunOptions& options) {
  if (!info.ListUnread.empty() && runSwitch != RunSwitch::List) {
    return Refuse(runSwitch, seams.Time, sink, info, kExitCouldNotStart,
                  ("the list could not be read: " + info.ListUnread).c_str());
  }
  const std::string source = SourceOf(runSwitch);
  const PrivilegeScope rights(info.Rights);
  const std::uint64_t start = seams.Time.NowMs();
  const std::string scope = options.Folder.empty() ? "" : "; scope: " + Utf8(options.Folder);
  std::string note = info.Rights != nullptr ? PrivilegeNote(rights.Held(), info.StartNote) : info.StartNote;
  if (!info.ListUnread.empty())
    note += (note.empty() ? "" : "; ") + std::string("the user's entries could not be read: ") + info.ListUnread;
  sink.WriteLine(
      LogLine(seams.Time.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, "run started", note + scope));
  EndRequest request;
  request.Images = images;
  request.Mode = ModeOf(runSwitch);
  request.Limits = options.Applied(EndLimits::Unattended());
  request.Scope = options.Folder;
  request.Tree = options.Tree;
  int exitCode = EndExitCode(request.Mode, RunWithLines(source, request, seams, sink));
  // Listed without the user's entries: a script must not take the answer for the whole list's.
  if (!info.ListUnread.empty() && exitCode == kExitDone) exitCode = kExitNotAll;
  const std::uint64_t ms = seams.Time.NowMs() - start;
  sink.WriteLine(LogLine(seams.Time.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, "run ended",
                         EndNote(exitCode, ms)));
  return exitCode;
}

int RefuseUnattended(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info) {
  return Refuse(runSwitch, clock, sink, info, kExitAnotherRuns, "another Tarnwick runs from this folder");
}

int RefuseUntrusted(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info) {
  return Refuse(runSwitch, clock, sink, info, kExitUntrusted, "others can change what the run would act on");
}

int RefuseCommandLine(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info,
                      const std::string& problem) {
  return Refuse(runSwitch, clock, sink, info, kExitBadCommandLine, ("bad command line: " + problem).c_str());
}

std::string TerminateFromWindow(const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                                const KeepAlive& whileWaiting, const EndLimits& limits) {
  EndRequest request;
  request.Images = images;
  request.Mode = EndMode::OnePerImage;
  request.Limits = limits;
  // The window acts for its user: never on another signed-in user's programs.
  request.Sessions = SessionScope::WindowOf(seams.Processes.SessionOf(seams.Processes.OwnId()));
  request.WhileWaiting = whileWaiting;
  return WindowFailureMessage(RunWithLines("Terminate", request, seams, sink));
}

}  // namespace tarnwick
