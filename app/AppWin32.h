// What the program knows of its own run: the automatic flag, its path and directory, its title.
#pragma once
#include <string>

namespace tarnwick {

// Set by "-a" at start and never reset; the scan cycle reads it.
extern bool AutoMode;

inline constexpr const char* kAppTitle = "Tarnwick";

// The executable's full path as Windows reports it, in the ANSI code page.
std::string ExePath();
// The executable's directory, always ending in exactly one backslash.
std::string AppDirectory();
// The executable's file name without directory and extension, as the program is run.
std::string ExeName();

// Makes the portable case folding follow the system's locale.
void UseSystemCaseFolding();

// Holds a session-wide mark of this executable while it runs; AnotherRuns() tells a second start.
class InstanceGuard {
 public:
  InstanceGuard();
  ~InstanceGuard();
  InstanceGuard(const InstanceGuard&) = delete;
  InstanceGuard& operator=(const InstanceGuard&) = delete;
  bool AnotherRuns() const { return anotherRuns_; }

 private:
  void* mutex_ = nullptr;
  bool anotherRuns_ = false;
};

}  // namespace tarnwick
