// The one path that ends processes of listed images: Terminate in the window, "-a", "-k" and "-l".
// Services are stopped through the service manager before their process is ended; every end is awaited.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "process/Clock.h"
#include "process/EndRecord.h"
#include "process/FindProcess.h"
#include "process/ServiceApi.h"
#include "process/WindowApi.h"

namespace tarnwick {

class HolderApi;

enum class EndMode {
  OnePerImage,  // the first process of each image, as Terminate and "-a" have always done
  Every,        // every process of every image, scanning again until none runs or the time is up ("-k")
  ListOnly,     // change nothing: report each running process ("-l")
};

struct EndLimits {
  std::uint32_t ProcessWaitMs = 5000;   // for each ended process to go
  std::uint32_t ServiceWaitMs = 20000;  // for each service to stop after the request
  std::uint32_t RunMs = 30000;          // for the whole run: every wait, and -k's scans
  std::uint32_t RescanPauseMs = 500;    // -k: time for a restarted process to show before the next scan
  std::uint32_t GraceMs = 5000;         // for a process asked through its windows to close by itself
  std::uint32_t QuietMs = 3000;         // -k: how long nothing may come back after the last end before 0

  static EndLimits Unattended() { return {}; }
  // Terminate in the window: about 2 s for processes, and as long to close; services keep their own limit.
  static EndLimits Window() { return {.ProcessWaitMs = 2000, .GraceMs = 2000}; }
};

struct EndSeams {
  ProcessApi& Processes;
  ServiceApi& Services;
  Clock& Time;
  WindowApi* Windows = nullptr;  // none: every process is ended at once, as if it had no windows
  HolderApi* Holders = nullptr;  // none: a folder's other holders are not looked for
};

// Called while a wait goes on, at least every kKeepAliveMs, with what is awaited: the window pumps its
// messages there and shows the text.
inline constexpr std::uint32_t kKeepAliveMs = 50;
using KeepAlive = std::function<void(const std::string& status)>;
// Receives each record as soon as it is made: a long run's log is written as it goes.
using RecordSink = std::function<void(const EndRecord& record)>;

struct EndRequest {
  std::vector<std::string> Images;  // the search list's names; a name repeated in another letter case counts once
  EndMode Mode = EndMode::OnePerImage;
  EndLimits Limits;
  SessionScope Sessions;    // every session, or the window's own and session 0
  KeepAlive WhileWaiting;   // may be empty
  RecordSink OnRecord;      // may be empty
  std::wstring Scope;       // only programs in this folder or below it (absolute, long form); empty: all
  bool Tree = false;        // /tree: the descendants of each process ended are ended too, wherever they lie
  bool WhatIf = false;      // decide as the run would, record what it would do, and end nothing
  bool AllInScope = false;  // "/all": every program of the scope is a target, listed or not
};

// Runs the request to its end and returns every record in the order made. Tarnwick's own process is
// never acted on or listed; a critical process is never ended; a shared service host never by force.
std::vector<EndRecord> EndProcesses(const EndSeams& seams, const EndRequest& request);

// 0 when the run did what it set out to do, 1 when not: for ending, a process that could not be ended;
// for listing (and "/whatif"), any record of a listed image's process.
int EndExitCode(EndMode mode, const std::vector<EndRecord>& records);

}  // namespace tarnwick
