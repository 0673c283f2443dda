// What a run tells its caller through its exit code: one home for every code the program returns.
#pragma once

namespace tarnwick {

inline constexpr int kExitDone = 0;            // everything set out to end is gone; for -l, nothing listed runs
inline constexpr int kExitNotAll = 1;          // something could not be ended; for -l, a listed image runs
inline constexpr int kExitAnotherRuns = 2;     // another Tarnwick runs from this folder: nothing was done
inline constexpr int kExitCouldNotStart = 3;   // no window or message loop could be made, or an error at start
inline constexpr int kExitUntrusted = 4;       // elevated, and others can change the list, the exe or its path
inline constexpr int kExitBadCommandLine = 5;  // a command line the run cannot follow: nothing is ended
inline constexpr int kExitHeld = 6;            // with a folder: nothing listed is left, but other processes hold it

}  // namespace tarnwick
