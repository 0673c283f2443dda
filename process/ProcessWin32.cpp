// The process interface over Win32: EnumProcesses, OpenProcess, the main module's name, the image path,
// IsProcessCritical, TerminateProcess, and the snapshot (NtQuerySystemInformation, else toolhelp).
#include "process/ProcessWin32.h"

#include <windows.h>
#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <algorithm>
#include <cstdint>
#include <string_view>

#include "common/SystemFunctionWin32.h"
#include "common/Win32Handles.h"

namespace tarnwick {
namespace {

constexpr int kSystemProcessInformation = 5;
constexpr int kProcessBreakOnTermination = 29;
constexpr long kStatusInfoLengthMismatch = static_cast<long>(0xC0000004L);

// The text in the ANSI code page, or false where a character has no exact equivalent there. Best fit
// would turn "V\u0113x.exe" into "Vex.exe": a name that only looks like a listed one would match.
bool ExactAnsi(std::wstring_view text, std::string& ansi) {
  ansi.clear();
  if (text.empty()) return true;
  const int length = static_cast<int>(text.size());
  // A UTF-8 code page converts everything and takes neither the flag nor the default-character report.
  const bool utf8 = GetACP() == CP_UTF8;
  const DWORD flags = utf8 ? WC_ERR_INVALID_CHARS : WC_NO_BEST_FIT_CHARS;
  BOOL usedDefault = FALSE;
  BOOL* report = utf8 ? nullptr : &usedDefault;
  const int size = WideCharToMultiByte(CP_ACP, flags, text.data(), length, nullptr, 0, nullptr, report);
  if (size <= 0 || usedDefault) return false;
  ansi.resize(static_cast<std::size_t>(size));
  WideCharToMultiByte(CP_ACP, flags, text.data(), length, ansi.data(), size, nullptr, nullptr);
  return true;
}

// An image file name for the match: empty (matching nothing) unless it converts exactly, and never with a
// backslash byte, which in a double-byte code page can be the second half of a character.
std::string ExactFileName(std::wstring_view name) {
  std::string ansi;
  if (!ExactAnsi(name, ansi) || ansi.find('\\') != std::string::npos) return {};
  return ansi;
}

// A path whose file name part converts exactly, else empty; the directory only has to keep its backslashes.
std::string ExactPath(std::wstring_view path) {
  const std::size_t slash = path.rfind(L'\\');
  if (slash == std::wstring_view::npos) return ExactFileName(path);
  const std::string name = ExactFileName(path.substr(slash + 1));
  if (name.empty()) return {};
  std::string directory;
  if (!ExactAnsi(path.substr(0, slash), directory)) directory.assign(1, '?');
  directory += '\\';
  directory += name;
  return directory;
}

SessionId SessionOfId(ProcessId id) {
  DWORD session = 0;
  return ProcessIdToSessionId(id, &session) ? session : kUnknownSession;
}

}  // namespace

ProcessWin32::ProcessWin32(SnapshotSource source) {
  if (source == SnapshotSource::System) {
    querySystem_ = SystemFunction<QuerySystemFunction>("ntdll.dll", "NtQuerySystemInformation");
  }
  // Loaded by name: QueryFullProcessImageNameW needs Vista, IsProcessCritical Windows 8.1.
  queryImageName_ = SystemFunction<QueryImageNameFunction>("kernel32.dll", "QueryFullProcessImageNameW");
  isCritical_ = SystemFunction<IsCriticalFunction>("kernel32.dll", "IsProcessCritical");
  if (isCritical_ == nullptr) {
    queryProcess_ = SystemFunction<QueryProcessFunction>("ntdll.dll", "NtQueryInformationProcess");
  }
}

bool ProcessWin32::EnumerateIds(ProcessId* ids, std::uint32_t bufferBytes, std::uint32_t& bytesReturned) {
  DWORD bytes = 0;
  const bool ok = EnumProcesses(reinterpret_cast<DWORD*>(ids), bufferBytes, &bytes) != FALSE;
  bytesReturned = bytes;
  return ok;
}

ProcessHandle ProcessWin32::Open(std::uint32_t rights, ProcessId id) {
  // Where the limited right cannot name the image or tell a critical process, the fallbacks need more.
  if ((rights & PROCESS_QUERY_LIMITED_INFORMATION) != 0) {
    if (queryImageName_ == nullptr) rights |= PROCESS_QUERY_INFORMATION | PROCESS_VM_READ;
    if (isCritical_ == nullptr) rights |= PROCESS_QUERY_INFORMATION;
  }
  HANDLE process = OpenProcess(rights, FALSE, id);
  if (process == nullptr) lastError_ = GetLastError();
  return process;
}

std::string ProcessWin32::MainModuleName(ProcessHandle process) {
  // The first module of the list is the executable's; the result of the listing is not needed,
  // since a failed listing leaves a null handle, for which the call reports nothing or the executable.
  HMODULE modules[200] = {};
  DWORD needed = 0;
  EnumProcessModules(static_cast<HANDLE>(process), modules, sizeof(modules), &needed);
  std::wstring name(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameExW(static_cast<HANDLE>(process), modules[0], name.data(), MAX_PATH);
  name.resize(length < MAX_PATH ? length : MAX_PATH);
  return ExactPath(name);
}

std::wstring ProcessWin32::WideImagePath(ProcessHandle process) {
  if (queryImageName_ == nullptr) return {};
  std::wstring path(MAX_PATH, L'\0');
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

std::string ProcessWin32::ImagePath(ProcessHandle process) { return ExactPath(WideImagePath(process)); }

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

void ProcessWin32::Close(ProcessHandle process) { CloseHandle(static_cast<HANDLE>(process)); }

ProcessId ProcessWin32::OwnId() { return GetCurrentProcessId(); }

SessionId ProcessWin32::SessionOf(ProcessId id) { return SessionOfId(id); }

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
    if (status == kStatusInfoLengthMismatch)
      systemBuffer_.resize(std::max<std::size_t>(needed, systemBuffer_.size()) * 2);
  }
  if (status < 0) return false;
  std::size_t offset = 0;
  for (;;) {
    const auto& process = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(systemBuffer_.data() + offset);
    const std::wstring_view name(process.ImageName.Buffer != nullptr ? process.ImageName.Buffer : L"",
                                 process.ImageName.Length / sizeof(wchar_t));
    entries.push_back({.Id = static_cast<ProcessId>(reinterpret_cast<std::uintptr_t>(process.UniqueProcessId)),
                       .ExeName = ExactFileName(name),
                       .Session = process.SessionId});
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
  PROCESSENTRY32W entry{};
  entry.dwSize = sizeof(entry);
  if (!Process32FirstW(snapshot.Get(), &entry)) return false;  // a listing without even ourselves is no listing
  do {
    entries.push_back({.Id = entry.th32ProcessID,
                       .ExeName = ExactFileName(entry.szExeFile),
                       .Session = SessionOfId(entry.th32ProcessID)});
  } while (Process32NextW(snapshot.Get(), &entry));
  return true;
}

std::uint64_t ProcessWin32::CreationTime(ProcessHandle process) {
  FILETIME created{}, exited{}, kernel{}, user{};
  if (!GetProcessTimes(process, &created, &exited, &kernel, &user)) return 0;
  return (static_cast<std::uint64_t>(created.dwHighDateTime) << 32) | created.dwLowDateTime;
}

}  // namespace tarnwick
