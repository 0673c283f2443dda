// A run of the ending pipeline with its lines: the unattended switches "-a", "-k", "-l", and Terminate
// in the window. The lines go to a sink (the log and a redirected standard output); the exit code and
// the window's message come from the records.
#pragma once
#include <string>
#include <vector>

#include "app/RunOptions.h"
#include "common/ExitCodes.h"
#include "process/EndPipeline.h"
#include "process/Privilege.h"

namespace tarnwick {

enum class RunSwitch { Auto, Kill, List };

// The switch as the log's source field writes it: "-a", "-k", "-l".
const char* SourceOf(RunSwitch runSwitch);

// Who runs: the lines name Tarnwick's own image and process, and the start line carries a note (the
// warning of a failed trust check). With Rights, a run holds that privilege for its pass only, and the
// note first says whether it could. The rest is what a script's view of the run names.
struct RunInfo {
  std::string ExeImage{};
  ProcessId OwnId = 0;
  SessionId OwnSession = kUnknownSession;
  std::string StartNote{};
  PrivilegeApi* Rights = nullptr;
  // Why the user's entries could not be read, where they could not: "-a" and "-k" then end nothing and
  // return kExitCouldNotStart; "-l" lists the built-in entries, says so, and returns at least kExitNotAll.
  std::string ListUnread{};
  std::string RunId{};    // shared by every record of one run
  std::string Version{};  // "1.0.0"
  int Bitness = 32;
  bool Elevated = false;
  std::wstring ExePath{};
  KeepAlive WhileWaiting{};  // at a console: told what the run waits for
};

// What a run tells, in its order: its start, one entry per record, its end. The log's lines, the JSON
// Lines and the events are each a view of these entries.
enum class RunEntryKind { Start, Record, End };
// Why a run did nothing: the end entry's token, beside the sentence in Note.
enum class Refusal { None, AnotherRuns, Untrusted, BadCommandLine, ListUnread };
struct RunEntry {
  RunEntryKind Kind = RunEntryKind::Record;
  LocalTime Time{};
  std::string Source{};  // "-a", "-k", "-l", "Terminate"
  const RunInfo* Run = nullptr;
  const EndRecord* Record = nullptr;  // Record
  // Start: its note (the privilege, the trust check's warning); End: why nothing was done.
  std::string Note{};
  const RunOptions* Options = nullptr;              // Start; none for the window
  int ExitCode = 0;                                 // End
  std::uint64_t Ms = 0;                             // End: how long the run took
  Refusal Refused = Refusal::None;                  // End
  const std::vector<EndRecord>* Records = nullptr;  // End: every record of the run
};

// The fields of an entry that its text line and its event show.
struct EntryFields {
  std::string Image{};
  ProcessId Id = 0;
  SessionId Session = kUnknownSession;
  std::string What{};
  std::string Why{};
  std::wstring Path{};  // the program's; Tarnwick's own for the start and end
};
EntryFields FieldsOf(const RunEntry& entry);

// The text line of an entry, as the log has it.
std::string TextLine(const RunEntry& entry);

// Receives each entry of a run as it is made; the text line by default.
class LineSink {
 public:
  virtual ~LineSink() = default;
  virtual void WriteLine(const std::string& line) = 0;
  virtual void Write(const RunEntry& entry) { WriteLine(TextLine(entry)); }
};

// Writes the start line, runs the pipeline for the switch with a line per record, then the end line with
// the exit code and the duration. Returns the exit code. The options' folder, where there is one, is the
// checked long form: the run acts only within it, and the start line names it.
int RunUnattended(RunSwitch runSwitch, const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                  const RunInfo& info, const RunOptions& options = {});

// The command line cannot be followed: the lines of `source` (the switch, or "start" for none) say why and
// that nothing was done. Returns kExitBadCommandLine.
int RefuseCommandLine(const std::string& source, Clock& clock, LineSink& sink, const RunInfo& info,
                      const std::string& problem);

// Another Tarnwick runs from this folder: the lines say that nothing was done. Returns kExitAnotherRuns.
int RefuseUnattended(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info);

// Elevated "-a" or "-k" on files that others can change: the lines carry the warning and say that nothing
// was done. Returns kExitUntrusted.
int RefuseUntrusted(RunSwitch runSwitch, Clock& clock, LineSink& sink, const RunInfo& info);

// Terminate in the window: ends the first process of each image within the limits, calling whileWaiting
// meanwhile, and writes the same lines as an unattended run. Returns the message to show: each image
// that could not be ended and why; empty when everything ended.
// The run's start and end entries say who ran (info).
std::string TerminateFromWindow(const std::vector<std::string>& images, const EndSeams& seams, LineSink& sink,
                                const KeepAlive& whileWaiting, const EndLimits& limits = EndLimits::Window(),
                                const RunInfo& info = {});

}  // namespace tarnwick
