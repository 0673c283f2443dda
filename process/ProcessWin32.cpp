// The process interface over Win32: OpenProcess, the image path, IsProcessCritical, TerminateProcess, and
// the snapshot (NtQuerySystemInformation, the system's process list in one call).
#include "process/ProcessWin32.h"

#include <windows.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "common/SystemFunctionWin32.h"
#include "common/WideTextWin32.h"
#include "process/ScopeWin32.h"

namespace tarnwick {
namespace {

constexpr int kSystemProcessInformation = 5;
constexpr int kProcessBreakOnTermination = 29;
constexpr long kStatusInfoLengthMismatch = static_cast<long>(0xC0000004L);

}  // namespace

ProcessWin32::ProcessWin32() {
  querySystem_ = SystemFunction<QuerySystemFunction>("ntdll.dll", "NtQuerySystemInformation");
  // Loaded by name: IsProcessCritical needs Windows 8.1.
  isCritical_ = SystemFunction<IsCriticalFunction>("kernel32.dll", "IsProcessCritical");
  if (isCritical_ == nullptr) {
    queryProcess_ = SystemFunction<QueryProcessFunction>("ntdll.dll", "NtQueryInformationProcess");
  }
}

ProcessHandle ProcessWin32::Open(std::uint32_t rights, ProcessId id) {
  // Where the limited right cannot tell a critical process (Windows 7), the fallback needs more.
  if ((rights & PROCESS_QUERY_LIMITED_INFORMATION) != 0 && isCritical_ == nullptr) rights |= PROCESS_QUERY_INFORMATION;
  HANDLE process = OpenProcess(rights, FALSE, id);
  if (process == nullptr) lastError_ = GetLastError();
  return process;
}

std::string ProcessWin32::ImagePath(ProcessHandle process) { return Utf8FromWide(ImagePathOfProcess(process)); }

bool ProcessWin32::IsCritical(ProcessHandle process) {
  int critical = FALSE;
  if (isCritical_ != nullptr) return isCritical_(process, &critical) && critical;
  // Windows 7 lacks IsProcessCritical; the flag it reads is the process's break-on-termination.
  unsigned long breakOnTermination = 0;
  return queryProcess_ != nullptr &&
         queryProcess_(process, kProcessBreakOnTermination, &breakOnTermination, sizeof(breakOnTermination), nullptr) >=
             0 &&
         breakOnTermination != 0;
}

bool ProcessWin32::Terminate(ProcessHandle process, std::uint32_t exitCode) {
  if (TerminateProcess(static_cast<HANDLE>(process), exitCode)) return true;
  lastError_ = GetLastError();
  return false;
}

bool ProcessWin32::WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) {
  const DWORD result = WaitForSingleObject(static_cast<HANDLE>(process), timeoutMs);
  if (result != WAIT_FAILED) return result == WAIT_OBJECT_0;
  // A handle without SYNCHRONIZE cannot be waited on: watch the exit code instead.
  const ULONGLONG end = GetTickCount64() + timeoutMs;
  for (;;) {
    DWORD code = 0;
    if (!GetExitCodeProcess(static_cast<HANDLE>(process), &code)) return false;
    if (code != STILL_ACTIVE) return true;
    if (GetTickCount64() >= end) return false;
    Sleep(20);
  }
}

std::uint64_t ProcessWin32::CreationTime(ProcessHandle process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(static_cast<HANDLE>(process), &created, &exited, &kernel, &user)) return 0;
  return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

void ProcessWin32::Close(ProcessHandle process) { CloseHandle(static_cast<HANDLE>(process)); }

ProcessId ProcessWin32::OwnId() { return GetCurrentProcessId(); }

SessionId ProcessWin32::SessionOf(ProcessId id) {
  DWORD session = 0;
  return ProcessIdToSessionId(id, &session) ? session : kUnknownSession;
}

bool ProcessWin32::Snapshot(std::vector<SnapshotEntry>& entries) {
  entries.clear();
  if (querySystem_ == nullptr) return false;
  if (systemBuffer_.empty()) systemBuffer_.resize(64 * 1024);
  unsigned long needed = 0;
  long status = kStatusInfoLengthMismatch;
  // The list may grow between asking its size and reading it: a few rounds with room to spare.
  for (int round = 0; round < 4 && status == kStatusInfoLengthMismatch; ++round) {
    status = querySystem_(kSystemProcessInformation, systemBuffer_.data(),
                          static_cast<unsigned long>(systemBuffer_.size()), &needed);
    if (status == kStatusInfoLengthMismatch)
      systemBuffer_.resize(std::max<std::size_t>(needed, systemBuffer_.size()) * 2);
  }
  if (status < 0) return false;
  std::size_t offset = 0;
  for (;;) {
    const auto& process = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(systemBuffer_.data() + offset);
    const std::wstring_view name(process.ImageName.Buffer != nullptr ? process.ImageName.Buffer : L"",
                                 process.ImageName.Length / sizeof(wchar_t));
    entries.push_back(
        {.Id = static_cast<ProcessId>(reinterpret_cast<std::uintptr_t>(process.UniqueProcessId)),
         .ExeName = Utf8FromWide(name),  // UTF-8: "V\u0113x.exe" stays itself
         .Session = process.SessionId,
         .Parent = static_cast<ProcessId>(reinterpret_cast<std::uintptr_t>(process.InheritedFromUniqueProcessId)),
         .CreatedAt = static_cast<std::uint64_t>(process.CreateTime.QuadPart)});
    if (process.NextEntryOffset == 0) break;
    offset += process.NextEntryOffset;
    if (offset + sizeof(SYSTEM_PROCESS_INFORMATION) > systemBuffer_.size()) return false;
  }
  return true;
}

}  // namespace tarnwick
