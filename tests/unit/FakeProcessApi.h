// A process table in memory behind the process interface, counting every call the scan makes; with a
// fake clock, processes take time to end and waits take time.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "process/Clock.h"
#include "process/FindProcess.h"

namespace tarnwick::test {

class FakeClock : public Clock {
 public:
  std::uint64_t Now = 1000;
  int Sleeps = 0;
  std::uint64_t NowMs() override { return Now; }
  void Sleep(std::uint32_t ms) override {
    Now += ms;
    ++Sleeps;
  }
  LocalTime Local() override { return {2024, 5, 6, 2, 0, 1, 15, 120}; }
};

struct FakeProcess {
  ProcessId Id = 0;
  std::string ImagePath;     // what QueryFullProcessImageNameW gives
  std::wstring FullPath;     // the wide long form of it; defaults to ImagePath
  std::string SnapshotName;  // the snapshot's name; defaults to the file name of ImagePath
  bool Openable = true;
  bool LimitedOpenable = false;                  // opened with the least rights (kQueryRights) even where not Openable
  std::uint32_t OpenError = kErrorAccessDenied;  // why it cannot be opened
  bool Critical = false;
  bool TerminateRefused = false;
  bool EndsJustBeforeTerminate = false;  // gone by the time it is told to end: Windows refuses the call
  std::optional<std::uint32_t> EndsAfterTerminateMs = 0;  // empty: stays after TerminateProcess
  std::optional<std::uint64_t> EndsAt;                    // the moment it ends (it runs until then)
  std::optional<std::uint64_t> StartsAt;                  // the moment it starts (a restart after a delay)
  std::uint32_t ExitCode = 0;
  SessionId Session = 1;  // the signed-in user's
  ProcessId Parent = 0;
  std::uint64_t CreatedAt = 0;            // as the snapshot and the opened handle tell it
  std::optional<std::uint64_t> ReusedAt;  // the handle's, where the id went to a stranger after the snapshot
};

class FakeProcessApi : public ProcessApi {
 public:
  std::deque<FakeProcess> Processes;  // a deque: handles point at elements, and processes may be added later
  ProcessId Self = 1;
  SessionId OwnSession = 1;  // Tarnwick's own, where the table does not hold it
  bool SnapshotFails = false;
  FakeClock* Time = nullptr;
  std::function<void(ProcessId)> OnTerminate;

  // What the scan did.
  int Snapshots = 0;
  std::vector<ProcessId> Opened;
  std::vector<std::uint32_t> Rights;
  std::vector<ProcessId> Terminated;
  int OpenHandles = 0;

  FakeProcess& Add(ProcessId id, const std::string& path) {
    FakeProcess process;
    process.Id = id;
    process.ImagePath = path;
    Processes.push_back(process);
    return Processes.back();
  }
  std::uint64_t Now() const { return Time != nullptr ? Time->Now : 0; }
  bool Alive(const FakeProcess& p) const {
    return (!p.StartsAt || *p.StartsAt <= Now()) && (!p.EndsAt || *p.EndsAt > Now());
  }
  bool IsAlive(ProcessId id) const {
    const FakeProcess* p = Find(id);
    return p != nullptr && Alive(*p);
  }
  FakeProcess* Find(ProcessId id) {
    for (FakeProcess& p : Processes) {
      if (p.Id == id) return &p;
    }
    return nullptr;
  }
  const FakeProcess* Find(ProcessId id) const { return const_cast<FakeProcessApi*>(this)->Find(id); }

  ProcessHandle Open(std::uint32_t rights, ProcessId id) override {
    Opened.push_back(id);
    Rights.push_back(rights);
    FakeProcess* p = Find(id);
    if (p == nullptr || !Alive(*p)) {
      lastError_ = kErrorInvalidParameter;
      return nullptr;
    }
    if (!p->Openable && !(rights == kQueryRights && p->LimitedOpenable)) {
      lastError_ = p->OpenError;
      return nullptr;
    }
    ++OpenHandles;
    return p;
  }
  std::string ImagePath(ProcessHandle process) override { return Of(process).ImagePath; }
  bool IsCritical(ProcessHandle process) override { return Of(process).Critical; }
  std::wstring FullImagePath(ProcessHandle process) override {
    const FakeProcess& p = Of(process);
    return p.FullPath.empty() ? std::wstring(p.ImagePath.begin(), p.ImagePath.end()) : p.FullPath;
  }
  std::uint64_t CreationTime(ProcessHandle process) override {
    const FakeProcess& p = Of(process);
    return p.ReusedAt.value_or(p.CreatedAt);
  }
  bool Terminate(ProcessHandle process, std::uint32_t exitCode) override {
    FakeProcess& p = Of(process);
    if (p.EndsJustBeforeTerminate) p.EndsAt = Now();
    if (p.TerminateRefused || !Alive(p)) {
      lastError_ = kErrorAccessDenied;
      return false;
    }
    Terminated.push_back(p.Id);
    p.ExitCode = exitCode;
    if (p.EndsAfterTerminateMs) p.EndsAt = Now() + *p.EndsAfterTerminateMs;
    if (OnTerminate) OnTerminate(p.Id);
    return true;
  }
  bool WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) override {
    const FakeProcess& p = Of(process);
    const std::uint64_t end = Now() + timeoutMs;
    const bool ends = p.EndsAt && *p.EndsAt <= end;
    if (Time != nullptr) Time->Now = ends ? std::max(Now(), *p.EndsAt) : end;
    return ends;
  }
  std::uint32_t LastError() override { return lastError_; }
  void Close(ProcessHandle) override { --OpenHandles; }
  ProcessId OwnId() override { return Self; }
  SessionId SessionOf(ProcessId id) override {
    const FakeProcess* p = Find(id);
    if (p == nullptr && id == Self) return OwnSession;
    return p != nullptr && Alive(*p) ? p->Session : kUnknownSession;
  }
  bool Snapshot(std::vector<SnapshotEntry>& entries) override {
    ++Snapshots;
    if (SnapshotFails) return false;
    entries.clear();
    for (const FakeProcess& p : Processes) {
      if (!Alive(p)) continue;
      std::string name = p.SnapshotName;
      if (name.empty()) {
        const std::string& path = p.ImagePath;
        name = path.substr(path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\') + 1);
      }
      entries.push_back(
          {.Id = p.Id, .ExeName = name, .Session = p.Session, .Parent = p.Parent, .CreatedAt = p.CreatedAt});
    }
    return true;
  }

 private:
  static FakeProcess& Of(ProcessHandle process) { return *static_cast<FakeProcess*>(process); }
  std::uint32_t lastError_ = 0;
};

}  // namespace tarnwick::test
