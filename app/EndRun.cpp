// The run's start and end lines around the pipeline, for the switches and for the window.
#include "app/EndRun.h"

#include <algorithm>
#include <cstdio>

#include "process/Holders.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

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

int RunUnattended(RunSwitch runSwitch, const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                  const RunInfo& info, const RunOptions& options) {
  const std::string source = SourceOf(runSwitch);
  const PrivilegeScope rights(info.Rights);
  const std::uint64_t start = seams.Time.NowMs();
  const std::string scope = options.Folder.empty() ? "" : "; scope: " + Utf8(options.Folder);
  const std::string note = info.Rights != nullptr ? PrivilegeNote(rights.Held(), info.StartNote) : info.StartNote;
  sink.WriteLine(
      LogLine(seams.Time.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, "run started", note + scope));
  EndRequest request;
  request.Images = images;
  request.Mode = ModeOf(runSwitch);
  request.Limits = options.Applied(EndLimits::Unattended());
  request.Scope = options.Folder;
  request.AllInScope = options.All;
  const std::vector<EndRecord> records = RunWithLines(source, request, seams, sink);
  const int exitCode = ExitCodeOf(request.Mode, records);
  const std::uint64_t ms = seams.Time.NowMs() - start;
  const auto notInspected = std::count_if(records.begin(), records.end(),
                                          [](const EndRecord& r) { return r.Result == EndResult::NotInspected; });
  sink.WriteLine(LogLine(seams.Time.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, "run ended",
                         EndNote(exitCode, ms, static_cast<std::size_t>(notInspected))));
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
