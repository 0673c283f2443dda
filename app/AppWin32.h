// What the program knows of its own run: its path, directory and list file, one per folder.
#pragma once
#include <string>

#include "common/Win32Handles.h"

namespace tarnwick {

// The path Windows started the executable from, of any length and in any script: a link's, when
// started through one.
std::wstring StartedPath();
// The executable file's own path, through any link: its folder is Tarnwick's folder.
std::wstring ExePath();
// The executable's directory, always ending in exactly one backslash.
std::wstring AppDirectory();
// The executable's file name without directory and extension, in UTF-8 as every name in the program.
std::string ExeName();
// The file of the user's entries: AppDirectory() followed by "Tarnwick.ini".
std::wstring ProfilePath();

// Makes the portable case folding follow the system's locale.
void UseSystemCaseFolding();

// Holds a machine-wide mark of this program's folder while it runs: one Tarnwick per list file,
// whatever the exe is called and however long the path. AnotherRuns() tells a second start. An elevated
// run's mark lies in a namespace that only administrators can make, so that nobody else can take it first.
class InstanceGuard {
 public:
  InstanceGuard();
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;
  bool AnotherRuns() const { return anotherRuns_; }
  // Lets the next start run at once, before this process has quite ended.
  void Release();

 private:
  KernelHandle mutex_;
  KernelHandle sharedMutex_;  // the elevated run's mark where others look for it
  NamespaceHandle namespace_;
  bool anotherRuns_ = false;
};

}  // namespace tarnwick
