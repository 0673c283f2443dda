// The trust check over the real files: when Tarnwick runs elevated or as SYSTEM, who else can change
// Tarnwick.ini, Tarnwick.exe, their folder and the log, read from each opened handle.
#pragma once
#include <string>
#include <vector>

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
  std::vector<std::string> Findings;  // the exe, the list file or the folder: who else can change each
  bool LogTrusted = true;             // the log may be written: its folder and the file itself pass
  std::string Warning;                // empty when the run may act on the list

  bool Trusted() const { return Warning.empty(); }
};

// True when the token is elevated or is SYSTEM's: only then do the files' rights matter.
[[nodiscard]] bool RunsElevatedOrAsSystem();

// Checks the paths when the token is elevated or SYSTEM's; otherwise trusts them (such a run can end only
// what its user could end anyway). A file or folder that cannot be read is not trusted.
[[nodiscard]] TrustCheck CheckTrust(const TrustPaths& paths);

// The exe's own paths, read from Windows in UTF-16.
[[nodiscard]] TrustPaths OwnTrustPaths();

}  // namespace tarnwick
