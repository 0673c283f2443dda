// The command line of this process, read once, with a switch's folder checked against the disk.
#pragma once
#include "app/CommandLine.h"

namespace tarnwick {

// Reads GetCommandLineW; a switch's folder comes back checked, full and in its long form, or the
// command's Problem says why the run must not go ahead.
StartCommand ReadOwnCommandLine();

}  // namespace tarnwick
