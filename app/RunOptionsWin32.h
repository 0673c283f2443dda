// The switches' options from the process's wide command line, with the folder checked against the disk.
#pragma once
#include <string>

#include "app/RunOptions.h"

namespace tarnwick {

// Reads what follows "-a", "-k" or "-l" on GetCommandLineW; the folder comes back checked, full and in its
// long form. False, with the line for the user, when the run must not go ahead.
[[nodiscard]] bool ReadRunOptions(RunOptions& options, std::string& problem);

}  // namespace tarnwick
