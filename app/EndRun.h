// A run of the ending pipeline with its lines: the unattended switches "-a", "-k", "-l", and Terminate
// in the window. The lines go to a sink (the log and a redirected standard output); the exit code and
// the window's message come from the records.
#pragma once
#include <string>
#include <vector>

#include "app/RunOptions.h"
#include "process/EndPipeline.h"
#include "process/Privilege.h"

namespace tarnwick {

// What a run tells its caller.
inline constexpr int kExitDone = 0;           // everything set out to end is gone; or, for -l, nothing listed runs
inline constexpr int kExitNotAll = 1;         // something could not be ended; or, for -l, a listed image runs
inline constexpr int kExitAnotherRuns = 2;    // another Tarnwick runs from this folder: nothing was done
inline constexpr int kExitCouldNotStart = 3;  // no window or message loop could be made
inline constexpr int kExitUntrusted = 4;      // elevated, and others can change the list, the exe or their folder
inline constexpr int kExitHeld = 6;           // with a folder: nothing listed is left, but other processes hold it

enum class RunSwitch { Auto, Kill, List };

// Receives each finished line, without its line break.
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void WriteLine(const std::string& line) = 0;
};

// Who runs: the lines name Tarnwick's own image and process, and the start line carries a note (the
// warning of a failed trust check). With Rights, a run holds that privilege for its pass only, and the
// note first says whether it could.
struct RunInfo {
  std::string ExeImage{};
  ProcessId OwnId = 0;
  SessionId OwnSession = kUnknownSession;
  std::string StartNote{};
  PrivilegeApi* Rights = nullptr;
};

// Writes the start line, runs the pipeline for the switch with a line per record, then the end line with
// the exit code and the duration. Returns the exit code. The options' folder, where there is one, is the
// checked long form: the run acts only within it, and the start line names it.
int RunUnattended(RunSwitch runSwitch, const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                  const RunInfo& info, const RunOptions& options = {});

// The command line cannot be followed: the lines say why and that nothing was done. Returns kExitBadCommandLine.
int RefuseCommandLine(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info,
                      const std::string& problem);

// Another Tarnwick runs from this folder: the lines say that nothing was done. Returns kExitAnotherRuns.
int RefuseUnattended(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info);

// Elevated "-a" or "-k" on files that others can change: the lines carry the warning and say that nothing
// was done. Returns kExitUntrusted.
int RefuseUntrusted(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info);

// Terminate in the window: ends the first process of each image within the limits, calling whileWaiting
// meanwhile, and writes the same lines as an unattended run. Returns the message to show: each image
// that could not be ended and why; empty when everything ended.
std::string TerminateFromWindow(const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                                const KeepAlive& whileWaiting, const EndLimits& limits = EndLimits::Window());

}  // namespace tarnwick
