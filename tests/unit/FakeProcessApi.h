// A process table in memory behind the process interface, counting every call the scan makes.
#pragma once
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "process/FindProcess.h"

namespace tarnwick::test {

struct FakeProcess {
  ProcessId Id = 0;
  std::string ModulePath;     // what the main module's name gives; empty: unreadable (64-bit from 32-bit)
  std::string ImagePath;      // what QueryFullProcessImageNameW gives
  std::string SnapshotName;   // the toolhelp name; defaults to the file name of ModulePath or ImagePath
  bool Openable = true;
  bool Critical = false;
  bool Alive = true;
  std::uint32_t ExitCode = 0;
};

class FakeProcessApi : public ProcessApi {
 public:
  std::vector<FakeProcess> Processes;
  ProcessId Self = 1;
  bool SnapshotFails = false;
  bool EnumerationFails = false;
  bool AlwaysFull = false;  // the enumeration reports a full buffer, however large

  // What the scan did.
  int Enumerations = 0;
  int Snapshots = 0;
  std::vector<ProcessId> Opened;
  std::vector<std::uint32_t> Rights;
  std::vector<ProcessId> Terminated;
  int OpenHandles = 0;

  FakeProcess& Add(ProcessId id, const std::string& path) {
    Processes.push_back({id, path, path, "", true, false, true, 0});
    return Processes.back();
  }
  bool IsAlive(ProcessId id) const {
    const auto p = std::find_if(Processes.begin(), Processes.end(), [id](const FakeProcess& f) { return f.Id == id; });
    return p != Processes.end() && p->Alive;
  }

  bool EnumerateIds(ProcessId* ids, std::uint32_t bufferBytes, std::uint32_t& bytesReturned) override {
    ++Enumerations;
    if (EnumerationFails) return false;
    std::uint32_t n = 0;
    for (const FakeProcess& p : Processes) {
      if (!p.Alive) continue;
      if ((n + 1) * sizeof(ProcessId) > bufferBytes) break;  // like Windows: silently cut at the buffer's end
      ids[n++] = p.Id;
    }
    bytesReturned = AlwaysFull ? bufferBytes : n * sizeof(ProcessId);
    return true;
  }
  ProcessHandle Open(std::uint32_t rights, ProcessId id) override {
    Opened.push_back(id);
    Rights.push_back(rights);
    FakeProcess* p = Find(id);
    if (p == nullptr || !p->Alive || !p->Openable) return nullptr;
    ++OpenHandles;
    return p;
  }
  std::string MainModuleName(ProcessHandle process) override { return Of(process).ModulePath; }
  std::string ImagePath(ProcessHandle process) override { return Of(process).ImagePath; }
  bool IsCritical(ProcessHandle process) override { return Of(process).Critical; }
  void Terminate(ProcessHandle process, std::uint32_t exitCode) override {
    Of(process).Alive = false;
    Of(process).ExitCode = exitCode;
    Terminated.push_back(Of(process).Id);
  }
  void Close(ProcessHandle) override { --OpenHandles; }
  ProcessId OwnId() override { return Self; }
  bool Snapshot(std::vector<SnapshotEntry>& entries) override {
    ++Snapshots;
    if (SnapshotFails) return false;
    entries.clear();
    for (const FakeProcess& p : Processes) {
      if (!p.Alive) continue;
      std::string name = p.SnapshotName;
      if (name.empty()) {
        const std::string& path = p.ModulePath.empty() ? p.ImagePath : p.ModulePath;
        name = path.substr(path.rfind('\\') == std::string::npos ? 0 : path.rfind('\\') + 1);
      }
      entries.push_back({p.Id, name});
    }
    return true;
  }

 private:
  FakeProcess* Find(ProcessId id) {
    for (FakeProcess& p : Processes) {
      if (p.Id == id) return &p;
    }
    return nullptr;
  }
  static FakeProcess& Of(ProcessHandle process) { return *static_cast<FakeProcess*>(process); }
};

}  // namespace tarnwick::test
