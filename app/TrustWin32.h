// The trust check over the real files: when Tarnwick runs elevated or as SYSTEM, who else can change
// Tarnwick.ini, Tarnwick.exe, their folder and the log, read from each opened handle.
#pragma once
#include <memory>
#include <string>
#include <vector>

#include "common/Win32Handles.h"

namespace tarnwick {

struct TrustPaths {
  std::wstring Exe;
  std::wstring Profile;  // may be missing: then its folder alone decides who could make it
  std::wstring Folder;   // ends in a backslash
  std::wstring Log;
  // The folder of the link Tarnwick was started through (winget's Links), empty when started from its own:
  // Windows looks for DLLs beside the started path, so who can add files there counts too.
  std::wstring LinkFolder;
};

struct TrustCheck {
  std::vector<std::string> Findings;  // the exe, the list file or a folder of the path: who else can change each
  bool LogTrusted = true;             // the log may be written: the path and the file itself pass
  std::string Warning;                // empty when the run may act on the list
  // The folders from the exe's up to the volume's root, held open without delete sharing for as long as
  // a copy of the check lives: none of them can be renamed away meanwhile.
  std::shared_ptr<const std::vector<KernelHandle>> HeldPath;
  // Elevated, Tarnwick.ini as it was checked, open for reading; empty where it is missing or not checked.
  std::shared_ptr<const KernelHandle> HeldList;

  bool Trusted() const { return Warning.empty(); }
};

// True when the process runs with an administrator's full token or as SYSTEM (Task Scheduler): only then do
// the files' rights matter, and its writes never follow a link that someone else may have placed.
[[nodiscard]] bool RunsElevated();

// Checks the paths when the token is elevated or SYSTEM's; otherwise trusts them (such a run can end only
// what its user could end anyway). Every folder from the exe's up to the volume's root is checked, and
// where one is a link or junction, the path it leads to as well. A file or folder that cannot be read, or
// an access rule of a kind not known here, is not trusted.
[[nodiscard]] TrustCheck CheckTrust(const TrustPaths& paths);

// The path a file or folder really leads to, through links, junctions and drive letters, as "C:\\Real\\x"
// without a \\?\\ prefix; empty where it cannot be told.
[[nodiscard]] std::wstring FinalPath(const std::wstring& path);
// The path a folder (ending in a backslash) really leads to, through links, junctions and drive letters,
// as "C:\\Real\\" without a \\?\\ prefix; empty where it cannot be told.
[[nodiscard]] std::wstring FinalFolder(const std::wstring& folder);

// The exe's own paths, read from Windows in UTF-16.
[[nodiscard]] TrustPaths OwnTrustPaths();

}  // namespace tarnwick
