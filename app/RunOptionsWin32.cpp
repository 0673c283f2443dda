// The switches' options over Win32: the wide command line, and the folder made absolute and long.
#include "app/RunOptionsWin32.h"

#include <windows.h>

#include "process/ScopeWin32.h"

namespace tarnwick {

bool ReadRunOptions(RunOptions& options, std::string& problem) {
  if (!ParseRunOptions(SplitArguments(GetCommandLineW()), options, problem)) return false;
  if (options.Folder.empty()) return true;
  UseSystemPathCaseFolding();
  std::wstring folder;
  if (!ResolveScopeFolder(options.Folder, folder, problem)) return false;
  options.Folder = folder;
  return true;
}

}  // namespace tarnwick
