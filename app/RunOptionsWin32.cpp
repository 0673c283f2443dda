// The command line over Win32: the wide command line, and the folder made absolute and long.
#include "app/RunOptionsWin32.h"

#include <windows.h>

#include "process/ScopeWin32.h"

namespace tarnwick {

StartCommand ReadOwnCommandLine() {
  StartCommand command = ReadStartCommand(SplitArguments(GetCommandLineW()));
  if (!command.Problem.empty() || command.Options.Folder.empty()) return command;
  UseSystemPathCaseFolding();
  std::wstring folder;
  if (ResolveScopeFolder(command.Options.Folder, folder, command.Problem)) command.Options.Folder = folder;
  return command;
}

}  // namespace tarnwick
