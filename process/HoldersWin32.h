// The holder search over Win32: the process snapshot with parents, each process's program, modules and
// mapped views, and the system's handle table, whose names are asked in a helper that can be given up.
#pragma once
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "process/Holders.h"
#include "process/NameQueries.h"

namespace tarnwick {

class HoldersWin32 final : public HolderApi {
 public:
  // The name helper runs from helperExe: Tarnwick's own exe unless a benchmark names it.
  explicit HoldersWin32(std::wstring helperExe = {});
  bool Processes(std::vector<HolderProcess>& processes) override;
  Inspection Inspect(ProcessId id, std::vector<HeldFile>& held, std::uint32_t& error) override;
  HandleScan OpenFiles(const std::set<ProcessId>& skip, std::uint32_t budgetMs) override;

 private:
  std::wstring Final(const std::wstring& path);  // the final path, once per spelling
  std::wstring DosPath(const std::wstring& device);

  using QuerySystemFunction = long(__stdcall*)(int, void*, unsigned long, unsigned long*);
  QuerySystemFunction querySystem_ = nullptr;
  std::map<std::wstring, std::wstring> finals_;
  std::vector<std::pair<std::wstring, std::wstring>> devices_;  // "\Device\HarddiskVolume3" -> "C:"
  bool devicesRead_ = false;
  std::wstring helperExe_;
};

// The name helper: Tarnwick's own exe started with kNameHelperSwitch and a pipe handle. It answers each
// handle value it is sent with the handle's final path; a query that hangs hangs the helper alone, which
// the run ends through its job at the deadline.
inline constexpr wchar_t kNameHelperSwitch[] = L"/holder-names";
// True when the command line asks for the helper; it then runs until its pipe closes.
bool IsNameHelper(const wchar_t* commandLine);
int RunNameHelper(const wchar_t* commandLine);

// A worker for the name queries: a helper process in a job that ends it when it goes.
std::unique_ptr<NameWorker> StartNameHelper(const std::wstring& exe);

}  // namespace tarnwick
