// The runs of the ending pipeline over the real system: "-a", "-k", "-l" and the window's Terminate,
// with the log "Tarnwick.log" beside the exe and the same lines on a redirected standard output.
#pragma once
#include <string>
#include <string_view>
#include <vector>

#include "app/EndRun.h"
#include "app/TrustWin32.h"

namespace tarnwick {

inline constexpr const wchar_t* kLogFileName = L"Tarnwick.log";
inline constexpr unsigned long kMaxLogBytes = 1024 * 1024;  // then it moves to "Tarnwick.log.1"

// What an unattended run works on: the built-in names, then the user's entries of "Tarnwick.ini"
// (the file is only read; a duplicate is dropped without a message; what the read's bounds leave out is
// told in a line of the log).
std::vector<std::string> ListedImages();

// With json, standard output carries the runs' JSON Lines ("/json") and no other line.
void UseJsonOutput(bool json);

// One line of the log and of a redirected standard output, outside a run: its source ("-a", "window",
// "list"), what happened and why.
void WriteNoteLine(std::string_view source, std::string_view what, std::string_view why);

// Runs "-a", "-k" or "-l" over the images and returns its exit code. The start line carries the trust
// check's warning; the log is written only where it passes the check. The options' folder is the checked one.
int RunSwitchNow(RunSwitch runSwitch, const std::vector<std::string>& images, const TrustCheck& trust = {},
                 const RunOptions& options = {});

// Elevated "-a" or "-k" on files that others can change: says so and what to do, on standard output and in
// the log where it passes the check, ends nothing and returns kExitUntrusted.
int RefuseUntrustedSwitch(RunSwitch runSwitch, const TrustCheck& trust);

// Tarnwick stopped at its entry (an exception): one line in the log says why.
void LogStartFailure(const std::string& why) noexcept;

// The switch's options cannot be followed: logs why and that nothing was done; returns kExitBadCommandLine.
int RefuseBadCommandLine(RunSwitch runSwitch, const std::string& problem);

// Another Tarnwick runs from this folder: logs that nothing was done and returns kExitAnotherRuns.
int RefuseSwitch(RunSwitch runSwitch);

// Terminate in the window: ends the first process of each image, waits about 2 s in all (services have
// their own limit), calls whileWaiting meanwhile and logs. Returns the message to show, empty when all ended.
std::string EndFromWindow(const std::vector<std::string>& images, const KeepAlive& whileWaiting,
                          const EndLimits& limits = EndLimits::Window());

}  // namespace tarnwick
