// The process interface over the real Win32 calls: kernel32 and the system's process list.
#pragma once
#include "process/FindProcess.h"

namespace tarnwick {

class ProcessWin32 final : public ProcessApi {
 public:
  // Looks up the calls that are not in every supported Windows, or not in its import libraries.
  ProcessWin32();

  ProcessHandle Open(std::uint32_t rights, ProcessId id) override;
  std::string ImagePath(ProcessHandle process) override;
  bool IsCritical(ProcessHandle process) override;
  bool Terminate(ProcessHandle process, std::uint32_t exitCode) override;
  bool WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) override;
  std::uint32_t LastError() override { return lastError_; }
  void Close(ProcessHandle process) override;
  ProcessId OwnId() override;
  SessionId SessionOf(ProcessId id) override;
  bool Snapshot(std::vector<SnapshotEntry>& entries) override;
  std::wstring FullImagePath(ProcessHandle process) override;  // in ScopeWin32.cpp
  std::uint64_t CreationTime(ProcessHandle process) override;

 private:
  using QuerySystemFunction = long(__stdcall*)(int, void*, unsigned long, unsigned long*);
  QuerySystemFunction querySystem_ = nullptr;
  std::vector<unsigned char> systemBuffer_;  // kept between ticks: the list is about the same size each time
  using IsCriticalFunction = int(__stdcall*)(void*, int*);
  IsCriticalFunction isCritical_ = nullptr;
  using QueryProcessFunction = long(__stdcall*)(void*, int, void*, unsigned long, unsigned long*);
  QueryProcessFunction queryProcess_ = nullptr;  // NtQueryInformationProcess, where IsProcessCritical is missing
  std::uint32_t lastError_ = 0;
};

}  // namespace tarnwick
