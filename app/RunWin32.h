// The runs of the ending pipeline over the real system: "-a", "-k", "-l" and the window's Terminate,
// with the log "Tarnwick.log" beside the exe and the same lines on a redirected standard output.
#pragma once
#include <string>
#include <vector>

#include "app/EndRun.h"

namespace tarnwick {

inline constexpr const char* kLogFileName = "Tarnwick.log";
inline constexpr unsigned long kMaxLogBytes = 1024 * 1024;  // then it moves to "Tarnwick.log.1"

// Enables SeDebugPrivilege where the token holds it (an elevated administrator), so that services' and
// other users' processes can be opened. Without it nothing changes. True when it is enabled.
bool EnableDebugPrivilege();

// What an unattended run works on: the built-in names, then the user's entries of "Tarnwick.ini"
// (the file is only read; a duplicate is dropped without a message).
std::vector<std::string> ListedImages();

// Runs "-a", "-k" or "-l" over the images and returns its exit code. The options' folder is the checked one.
int RunSwitchNow(RunSwitch runSwitch, const std::vector<std::string>& images, const RunOptions& options = {});

// The switch's options cannot be followed: logs why and that nothing was done; returns kExitBadCommandLine.
int RefuseBadCommandLine(RunSwitch runSwitch, const std::string& problem);

// Another Tarnwick runs from this folder: logs that nothing was done and returns kExitAnotherRuns.
int RefuseSwitch(RunSwitch runSwitch);

// Terminate in the window: ends the first process of each image, waits about 2 s in all (services have
// their own limit), calls whileWaiting meanwhile and logs. Returns the message to show, empty when all ended.
std::string EndFromWindow(const std::vector<std::string>& images, const KeepAlive& whileWaiting,
                          const EndLimits& limits = EndLimits::Window());

}  // namespace tarnwick
