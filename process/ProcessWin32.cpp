// The process interface over Win32: EnumProcesses, OpenProcess, the main module's name, the image path,
// IsProcessCritical, TerminateProcess, and the snapshot (NtQuerySystemInformation, else toolhelp).
#include "process/ProcessWin32.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>

#include "common/Win32Handles.h"

namespace tarnwick {
namespace {

constexpr int kSystemProcessInformation = 5;
constexpr long kStatusInfoLengthMismatch = static_cast<long>(0xC0000004L);

std::string AnsiText(const UNICODE_STRING& text) {
  const int length = static_cast<int>(text.Length / sizeof(wchar_t));
  if (text.Buffer == nullptr || length == 0) return {};
  const int size = WideCharToMultiByte(CP_ACP, 0, text.Buffer, length, nullptr, 0, nullptr, nullptr);
  std::string ansi(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  WideCharToMultiByte(CP_ACP, 0, text.Buffer, length, ansi.data(), size, nullptr, nullptr);
  return ansi;
}

}  // namespace

ProcessWin32::ProcessWin32(SnapshotSource source) {
  HMODULE ntdll = GetModuleHandleA("ntdll.dll");
  if (source == SnapshotSource::System && ntdll != nullptr) {
    querySystem_ = reinterpret_cast<QuerySystemFunction>(
        reinterpret_cast<void*>(GetProcAddress(ntdll, "NtQuerySystemInformation")));
  }
  // Loaded by name: QueryFullProcessImageNameA needs Vista, IsProcessCritical Windows 8.1.
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  if (kernel != nullptr) {
    queryImageName_ = reinterpret_cast<QueryImageNameFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "QueryFullProcessImageNameA")));
    isCritical_ = reinterpret_cast<IsCriticalFunction>(
        reinterpret_cast<void*>(GetProcAddress(kernel, "IsProcessCritical")));
  }
}

bool ProcessWin32::EnumerateIds(ProcessId* ids, std::uint32_t bufferBytes, std::uint32_t& bytesReturned) {
  DWORD bytes = 0;
  const bool ok = EnumProcesses(reinterpret_cast<DWORD*>(ids), bufferBytes, &bytes) != FALSE;
  bytesReturned = bytes;
  return ok;
}

ProcessHandle ProcessWin32::Open(std::uint32_t rights, ProcessId id) { return OpenProcess(rights, FALSE, id); }

std::string ProcessWin32::MainModuleName(ProcessHandle process) {
  // The first module of the list is the executable's; the result of the listing is not needed,
  // since a failed listing leaves a null handle, for which the call reports nothing or the executable.
  HMODULE modules[200] = {};
  DWORD needed = 0;
  EnumProcessModules(static_cast<HANDLE>(process), modules, sizeof(modules), &needed);
  char name[MAX_PATH];
  const DWORD length = GetModuleFileNameExA(static_cast<HANDLE>(process), modules[0], name, MAX_PATH);
  return std::string(name, length < MAX_PATH ? length : MAX_PATH);
}

std::string ProcessWin32::ImagePath(ProcessHandle process) {
  if (queryImageName_ == nullptr) return {};
  std::string path(MAX_PATH, '\0');
  for (;;) {
    unsigned long size = static_cast<unsigned long>(path.size());
    if (queryImageName_(process, 0, path.data(), &size)) {
      path.resize(size);
      return path;
    }
    // A long path (beyond MAX_PATH) asks for more room; anything else means no name.
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || path.size() >= 32768) return {};
    path.resize(path.size() * 4);
  }
}

bool ProcessWin32::IsCritical(ProcessHandle process) {
  int critical = FALSE;
  return isCritical_ != nullptr && isCritical_(process, &critical) && critical;
}

void ProcessWin32::Terminate(ProcessHandle process, std::uint32_t exitCode) {
  TerminateProcess(static_cast<HANDLE>(process), exitCode);
}

void ProcessWin32::Close(ProcessHandle process) { CloseHandle(static_cast<HANDLE>(process)); }

ProcessId ProcessWin32::OwnId() { return GetCurrentProcessId(); }

bool ProcessWin32::Snapshot(std::vector<SnapshotEntry>& entries) {
  return (querySystem_ != nullptr && SystemSnapshot(entries)) || ToolhelpSnapshot(entries);
}

bool ProcessWin32::SystemSnapshot(std::vector<SnapshotEntry>& entries) {
  entries.clear();
  if (systemBuffer_.empty()) systemBuffer_.resize(64 * 1024);
  unsigned long needed = 0;
  long status = kStatusInfoLengthMismatch;
  // The list may grow between asking its size and reading it: a few rounds with room to spare.
  for (int round = 0; round < 4 && status == kStatusInfoLengthMismatch; ++round) {
    status = querySystem_(kSystemProcessInformation, systemBuffer_.data(),
                          static_cast<unsigned long>(systemBuffer_.size()), &needed);
    if (status == kStatusInfoLengthMismatch) systemBuffer_.resize(std::max<std::size_t>(needed, systemBuffer_.size()) * 2);
  }
  if (status < 0) return false;
  std::size_t offset = 0;
  for (;;) {
    const auto& process = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(systemBuffer_.data() + offset);
    entries.push_back({static_cast<ProcessId>(reinterpret_cast<std::uintptr_t>(process.UniqueProcessId)),
                       AnsiText(process.ImageName)});
    if (process.NextEntryOffset == 0) break;
    offset += process.NextEntryOffset;
    if (offset + sizeof(SYSTEM_PROCESS_INFORMATION) > systemBuffer_.size()) return false;
  }
  return true;
}

bool ProcessWin32::ToolhelpSnapshot(std::vector<SnapshotEntry>& entries) {
  entries.clear();
  KernelHandle snapshot(CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
  if (!snapshot) return false;
  PROCESSENTRY32 entry{};
  entry.dwSize = sizeof(entry);
  if (!Process32First(snapshot.Get(), &entry)) return false;  // a listing without even ourselves is no listing
  do {
    entries.push_back({entry.th32ProcessID, entry.szExeFile});
  } while (Process32Next(snapshot.Get(), &entry));
  return true;
}

}  // namespace tarnwick
