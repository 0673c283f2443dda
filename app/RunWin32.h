// The runs of the ending pipeline over the real system: "-a", "-k", "-l" and the window's Terminate, with
// the log "Tarnwick.log" beside the exe and the same lines on a redirected standard output, all through one
// owner that carries the trust check's verdict.
#pragma once
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "app/EndRun.h"
#include "app/TrustWin32.h"

namespace tarnwick {

inline constexpr const wchar_t* kLogFileName = L"Tarnwick.log";
inline constexpr unsigned long kMaxLogBytes = 1024 * 1024;  // then it moves to "Tarnwick.log.1"

// True when standard output is a file or a pipe that the caller handed over (no console is ever made).
bool StandardOutputRedirected();

// The one owner of this start's lines: the clock, who runs, and the log. Until the trust check's verdict
// is given, an elevated start writes its lines to standard output alone; after it, the log is written
// only where the verdict lets it be. An elevated start never writes through a link or junction in the
// log's place, nor into a file with more than one name.
class RunContext {
 public:
  RunContext();
  ~RunContext();
  RunContext(const RunContext&) = delete;
  RunContext& operator=(const RunContext&) = delete;

  void SetTrust(const TrustCheck& trust);
  const TrustCheck& Trust() const;
  // With json, standard output carries the runs' JSON Lines ("/json") and no other line.
  void UseJsonOutput(bool json);

  // One line outside a run: its source ("-a", "window", "list", "start"), what happened and why.
  void Note(std::string_view source, std::string_view what, std::string_view why);

  // Runs "-k" or "-l" over the built-in names and the user's entries of "Tarnwick.ini" (only read, from the
  // handle the trust check held where it held one; a duplicate is dropped; what the load found is told in
  // lines) and returns its exit code. A list that could not be read ends nothing (RunInfo::ListUnread).
  int RunSwitchOnList(RunSwitch runSwitch, const RunOptions& options);
  // "-a" in the window whose list could not be read: the lines say why and that nothing was done; returns
  // kExitCouldNotStart.
  int RefuseUnreadList(RunSwitch runSwitch, const std::string& reason);

  // Runs "-a", "-k" or "-l" over the images and returns its exit code; the start line carries the trust
  // check's warning. The options' folder is the checked one; `listUnread` says why the user's entries are missing.
  int RunSwitchNow(RunSwitch runSwitch, const std::vector<std::string>& images, const RunOptions& options,
                   const std::string& listUnread = {});

  // Elevated "-a" or "-k" on files that others can change: ends nothing, returns kExitUntrusted.
  int RefuseUntrusted(RunSwitch runSwitch);
  // The switch or its options cannot be followed: returns kExitBadCommandLine.
  int RefuseCommandLine(const std::string& source, const std::string& problem);
  // Another Tarnwick runs from this folder: returns kExitAnotherRuns.
  int RefuseAnother(RunSwitch runSwitch);

  // Tarnwick stopped at its start (no window, an exception): one line says why; returns kExitCouldNotStart.
  int StartFailure(const std::string& why) noexcept;

  // Terminate in the window: ends the first process of each image, waits about 2 s in all (services have
  // their own limit), calls whileWaiting meanwhile and logs. Returns the message to show, empty when all ended.
  std::string EndFromWindow(const std::vector<std::string>& images, const KeepAlive& whileWaiting,
                            const EndLimits& limits = EndLimits::Window());

 private:
  struct Parts;
  std::unique_ptr<Parts> parts_;
};

}  // namespace tarnwick
