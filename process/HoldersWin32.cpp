// What each process holds, read over Win32: the process list with parents (NtQuerySystemInformation),
// program, modules and mapped views per process, and the File handles of the system's handle table.
#include "process/HoldersWin32.h"

#include <windows.h>
#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <utility>

#include "common/GrowBuffer.h"
#include "common/SystemFunctionWin32.h"
#include "common/Win32Handles.h"
#include "process/Scope.h"
#include "process/ScopeWin32.h"

namespace tarnwick {
namespace {

constexpr int kSystemProcessInformation = 5;
constexpr int kSystemExtendedHandleInformation = 64;
constexpr long kStatusInfoLengthMismatch = static_cast<long>(0xC0000004L);
constexpr std::uint32_t kPerQueryMs = 1000;

class SystemClock final : public Clock {
 public:
  std::uint64_t NowMs() override { return GetTickCount64(); }
  void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
  LocalTime Local() override { return {}; }
};

struct HandleEntry {  // SYSTEM_HANDLE_TABLE_ENTRY_INFO_EX
  void* Object;
  ULONG_PTR ProcessId;
  ULONG_PTR Handle;
  ULONG GrantedAccess;
  USHORT CreatorBackTraceIndex;
  USHORT ObjectTypeIndex;
  ULONG HandleAttributes;
  ULONG Reserved;
};
struct HandleTable {  // SYSTEM_HANDLE_INFORMATION_EX
  ULONG_PTR Count;
  ULONG_PTR Reserved;
  HandleEntry Handles[1];
};

// The system's answer for a class, in a buffer that grows until it fits; empty when it does not come.
std::vector<unsigned char> QuerySystem(long(__stdcall* query)(int, void*, unsigned long, unsigned long*), int kind,
                                       std::size_t first) {
  std::vector<unsigned char> buffer(first);
  const auto fill = [&](unsigned char* data, std::size_t& size) {
    unsigned long needed = 0;
    const long status = query(kind, data, static_cast<unsigned long>(size), &needed);
    if (status != kStatusInfoLengthMismatch) return status >= 0 ? Fill::Done : Fill::Failed;
    size = needed + needed / 4;  // the table grows meanwhile
    return Fill::Grow;
  };
  if (!GrowUntilFits(buffer, fill, first << 8)) buffer.clear();
  return buffer;  // itself, not a copy: the names in it point into it
}

// This program's own file.
std::wstring OwnPath() {
  return SizedText([](wchar_t* data, DWORD size) { return GetModuleFileNameW(nullptr, data, size); });
}

}  // namespace

HoldersWin32::HoldersWin32(std::wstring helperExe) : helperExe_(std::move(helperExe)) {
  if (helperExe_.empty()) helperExe_ = OwnPath();
  querySystem_ = SystemFunction<QuerySystemFunction>("ntdll.dll", "NtQuerySystemInformation");
}

bool HoldersWin32::Processes(std::vector<HolderProcess>& processes) {
  processes.clear();
  if (querySystem_ == nullptr) return false;
  const std::vector<unsigned char> buffer = QuerySystem(querySystem_, kSystemProcessInformation, 256 * 1024);
  for (std::size_t offset = 0; offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= buffer.size();) {
    const auto& p = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(buffer.data() + offset);
    const std::wstring_view name(p.ImageName.Buffer != nullptr ? p.ImageName.Buffer : L"",
                                 p.ImageName.Length / sizeof(wchar_t));
    processes.push_back(
        {.Id = static_cast<ProcessId>(reinterpret_cast<std::uintptr_t>(p.UniqueProcessId)),
         .Parent = static_cast<ProcessId>(reinterpret_cast<std::uintptr_t>(p.InheritedFromUniqueProcessId)),
         .Created = static_cast<std::uint64_t>(p.CreateTime.QuadPart),
         .Session = p.SessionId,
         .Image = Utf8(name)});
    if (p.NextEntryOffset == 0) break;
    offset += p.NextEntryOffset;
  }
  return !processes.empty();
}

std::wstring HoldersWin32::Final(const std::wstring& path) {
  const auto known = finals_.find(path);
  if (known != finals_.end()) return known->second;
  return finals_[path] = FinalPathOf(path);
}

std::wstring HoldersWin32::DosPath(const std::wstring& device) {
  if (device.rfind(L"\\??\\", 0) == 0) return device.substr(4);
  // The device behind each drive letter ("\Device\HarddiskVolume3"), read once a search needs it.
  for (wchar_t letter = L'A'; letter <= L'Z' && !devicesRead_; ++letter) {
    const wchar_t drive[] = {letter, L':', L'\0'};
    wchar_t target[MAX_PATH] = {};
    if (QueryDosDeviceW(drive, target, MAX_PATH) != 0) devices_.emplace_back(target, drive);
  }
  devicesRead_ = true;
  for (const auto& [target, drive] : devices_) {
    if (device.size() > target.size() && device.compare(0, target.size(), target) == 0 &&
        device[target.size()] == L'\\') {
      return drive + device.substr(target.size());
    }
  }
  return device;
}

Inspection HoldersWin32::Inspect(ProcessId id, std::vector<HeldFile>& held, std::uint32_t& error) {
  held.clear();
  KernelHandle process(OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, id));
  if (!process) {
    error = GetLastError();
    // Its program file can often still be named with the least rights.
    KernelHandle limited(OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, id));
    const std::wstring program = limited ? ImagePathOfProcess(limited.Get()) : std::wstring();
    if (!program.empty()) held.push_back({.Way = HoldWay::Program, .Path = Final(program)});
    return Inspection::Denied;
  }
  const std::wstring program = ImagePathOfProcess(process.Get());
  if (!program.empty()) held.push_back({.Way = HoldWay::Program, .Path = Final(program)});
  BOOL selfWow = FALSE;
  BOOL targetWow = FALSE;
  if (IsWow64Process(GetCurrentProcess(), &selfWow) && selfWow && IsWow64Process(process.Get(), &targetWow) &&
      !targetWow) {
    return Inspection::Wider;
  }
  std::vector<HMODULE> modules(256);
  const auto fill = [&](HMODULE* data, std::size_t& size) {
    DWORD bytes = 0;
    const DWORD room = static_cast<DWORD>(size * sizeof(HMODULE));
    if (!EnumProcessModulesEx(process.Get(), data, room, &bytes, LIST_MODULES_ALL)) return Fill::Failed;
    const bool fits = bytes <= room;
    size = bytes / sizeof(HMODULE) + (fits ? 0 : 16);  // modules load meanwhile
    return fits ? Fill::Done : Fill::Grow;
  };
  if (!GrowUntilFits(modules, fill)) modules.clear();
  std::wstring name(32768, L'\0');
  for (HMODULE module : modules) {
    const DWORD length = GetModuleFileNameExW(process.Get(), module, name.data(), static_cast<DWORD>(name.size()));
    if (length > 0) held.push_back({.Way = HoldWay::Module, .Path = Final(name.substr(0, length))});
  }
  // A view stays mapped after its file's handles are closed: each mapped region once.
  MEMORY_BASIC_INFORMATION region{};
  const unsigned char* address = nullptr;
  const void* lastBase = nullptr;
  while (VirtualQueryEx(process.Get(), address, &region, sizeof(region)) == sizeof(region)) {
    if (region.Type == MEM_MAPPED && region.AllocationBase != lastBase) {
      lastBase = region.AllocationBase;
      const DWORD length =
          GetMappedFileNameW(process.Get(), region.BaseAddress, name.data(), static_cast<DWORD>(name.size()));
      if (length > 0) held.push_back({.Way = HoldWay::Mapped, .Path = Final(DosPath(name.substr(0, length)))});
    }
    const unsigned char* next = static_cast<const unsigned char*>(region.BaseAddress) + region.RegionSize;
    if (next <= address) break;
    address = next;
  }
  return Inspection::Read;
}

HandleScan HoldersWin32::OpenFiles(const std::set<ProcessId>& skip, std::uint32_t budgetMs) {
  HandleScan scan;
  if (querySystem_ == nullptr) return scan;
  // The File type's number: that of a file handle of our own, open while the table is taken.
  KernelHandle own(CreateFileW(OwnPath().c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                               OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  if (!own) return scan;
  const std::vector<unsigned char> buffer = QuerySystem(querySystem_, kSystemExtendedHandleInformation, 1 << 20);
  if (buffer.size() < sizeof(HandleTable)) return scan;
  const auto& table = *reinterpret_cast<const HandleTable*>(buffer.data());
  const std::size_t count =
      std::min<std::size_t>(table.Count, (buffer.size() - offsetof(HandleTable, Handles)) / sizeof(HandleEntry));
  const ULONG_PTR self = GetCurrentProcessId();
  int fileType = -1;
  for (std::size_t i = 0; i < count && fileType < 0; ++i) {
    const HandleEntry& entry = table.Handles[i];
    if (entry.ProcessId == self && entry.Handle == reinterpret_cast<ULONG_PTR>(own.Get()))
      fileType = entry.ObjectTypeIndex;
  }
  if (fileType < 0) return scan;
  // Each File handle duplicated here; only disk files go on to have their name asked.
  std::map<ProcessId, KernelHandle> sources;
  std::vector<KernelHandle> disk;
  std::vector<ProcessId> owners;
  for (std::size_t i = 0; i < count; ++i) {
    const HandleEntry& entry = table.Handles[i];
    const auto id = static_cast<ProcessId>(entry.ProcessId);
    if (entry.ObjectTypeIndex != fileType || id == 0 || skip.contains(id) || entry.ProcessId == self) continue;
    auto source = sources.find(id);
    if (source == sources.end())
      source = sources.emplace(id, KernelHandle(OpenProcess(PROCESS_DUP_HANDLE, FALSE, id))).first;
    if (!source->second) continue;
    HANDLE copy = nullptr;
    if (!DuplicateHandle(source->second.Get(), reinterpret_cast<HANDLE>(entry.Handle), GetCurrentProcess(), &copy, 0,
                         FALSE, DUPLICATE_SAME_ACCESS)) {
      continue;
    }
    KernelHandle file(copy);
    if (GetFileType(copy) != FILE_TYPE_DISK) continue;
    disk.push_back(std::move(file));
    owners.push_back(id);
  }
  std::vector<void*> handles;
  for (const KernelHandle& file : disk) handles.push_back(file.Get());
  SystemClock clock;
  const std::vector<NameAnswer> answers = AskNames(handles, {.PerQueryMs = kPerQueryMs, .BudgetMs = budgetMs}, clock,
                                                   [this] { return StartNameHelper(helperExe_); });
  for (std::size_t i = 0; i < answers.size(); ++i) {
    if (!answers[i].Answered) {
      ++scan.NamesGivenUp;
      continue;
    }
    if (answers[i].Path.empty()) continue;
    scan.Files.push_back(
        {.Id = owners[i],
         .File = {.Way = answers[i].Folder ? HoldWay::Folder : HoldWay::File, .Path = answers[i].Path}});
  }
  return scan;
}

}  // namespace tarnwick
