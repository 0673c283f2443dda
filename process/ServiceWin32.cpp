// The service seam over advapi32: EnumServicesStatusExA with the process ids, QueryServiceConfigA (and the
// services' registry keys where it tells nothing), ControlService(SERVICE_CONTROL_STOP) on a thread per
// request, and QueryServiceStatusEx. Handles are opened per call and closed.
#include "process/ServiceWin32.h"

#include <windows.h>

#include <atomic>
#include <cstring>
#include <vector>

#include "common/GrowBuffer.h"
#include "common/Text.h"

namespace tarnwick {
namespace {

// A string or multi-string value with its closing NULs; empty when the value is missing.
std::string RegistryText(HKEY key, const char* value) {
  std::string text(256, '\0');
  const auto fill = [&](char* data, std::size_t& size) {
    DWORD bytes = static_cast<DWORD>(size - 2);  // room for two closing NULs the stored value may lack
    const LSTATUS status = RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(data), &bytes);
    if (status == ERROR_SUCCESS) data[bytes] = data[bytes + 1] = '\0';
    size = bytes + 2;
    return status == ERROR_SUCCESS ? Fill::Done : status == ERROR_MORE_DATA ? Fill::Grow : Fill::Failed;
  };
  return GrowUntilFits(text, fill) ? text : std::string();
}

// The names of a multi-string (each ends in a NUL, the list in one more); for a plain string, its text.
std::vector<std::string> NameList(const char* names) {
  std::vector<std::string> list;
  for (const char* name = names; *name != '\0'; name += std::strlen(name) + 1) list.emplace_back(name);
  return list;
}

// The program a service's command line starts: the quoted part, or up to ".exe", else up to the first
// blank; environment strings (%SystemRoot%) expanded.
std::string ProgramOf(const char* commandLine) {
  std::string text = commandLine != nullptr ? commandLine : "";
  std::string program;
  if (!text.empty() && text[0] == '"') {
    program = text.substr(1, text.find('"', 1) - 1);
  } else {
    const std::size_t exe = AsciiUpperCase(text).find(".EXE");
    program = exe != std::string::npos ? text.substr(0, exe + 4) : text.substr(0, text.find(' '));
  }
  char expanded[MAX_PATH * 2] = "";
  const DWORD length = ExpandEnvironmentStringsA(program.c_str(), expanded, sizeof(expanded));
  return length > 0 && length <= sizeof(expanded) ? std::string(expanded) : program;
}

// A service whose code is a DLL names it in ServiceDll, in its key or its Parameters key.
bool NamesServiceDll(const std::string& name) {
  const std::string base = "SYSTEM\\CurrentControlSet\\Services\\" + name;
  for (const std::string& path : {base + "\\Parameters", base}) {
    HKEY raw = nullptr;
    if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &raw) != ERROR_SUCCESS) continue;
    RegistryKey key(raw);
    if (RegQueryValueExA(key.Get(), "ServiceDll", nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS) return true;
  }
  return false;
}

}  // namespace

std::uint32_t ServiceWin32::OpenManager() {
  if (!managerTried_) {
    managerTried_ = true;
    manager_.Reset(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT | SC_MANAGER_ENUMERATE_SERVICE));
    if (!manager_) managerError_ = GetLastError();
  }
  return managerError_;
}

std::uint32_t ServiceWin32::OpenOne(const std::string& name, DWORD rights, ServiceHandle& service) {
  if (const std::uint32_t error = OpenManager()) return error;
  service.Reset(OpenServiceA(manager_.Get(), name.c_str(), rights));
  return service ? 0 : GetLastError();
}

std::uint32_t ServiceWin32::RunningServices(std::vector<RunningService>& services) {
  services.clear();
  if (const std::uint32_t error = OpenManager()) return error;
  std::vector<BYTE> buffer(64 * 1024);
  DWORD resume = 0;
  for (;;) {
    DWORD needed = 0;
    DWORD count = 0;
    const BOOL done =
        EnumServicesStatusExA(manager_.Get(), SC_ENUM_PROCESS_INFO, SERVICE_WIN32, SERVICE_ACTIVE, buffer.data(),
                              static_cast<DWORD>(buffer.size()), &needed, &count, &resume, nullptr);
    const DWORD error = done ? ERROR_SUCCESS : GetLastError();
    if (error != ERROR_SUCCESS && error != ERROR_MORE_DATA) return error;
    const auto* entries = reinterpret_cast<const ENUM_SERVICE_STATUS_PROCESSA*>(buffer.data());
    for (DWORD i = 0; i < count; ++i) {
      const SERVICE_STATUS_PROCESS& status = entries[i].ServiceStatusProcess;
      services.push_back(
          {entries[i].lpServiceName, status.dwProcessId, (status.dwServiceType & SERVICE_WIN32_SHARE_PROCESS) != 0});
    }
    if (done) return 0;
    // More to come: continue from the resume point, with room for at least one more entry.
    if (count == 0) {
      if (needed <= buffer.size()) return error;
      buffer.resize(needed);
    }
  }
}

// The recovery actions that start the service again after it ended unexpectedly, by their delays.
std::vector<std::uint32_t> RestartDelays(SC_HANDLE service) {
  std::vector<std::uint32_t> delays;
  const auto buffer = NeededBytes(256, [&](BYTE* data, DWORD size, DWORD* needed) {
    return QueryServiceConfig2W(service, SERVICE_CONFIG_FAILURE_ACTIONS, data, size, needed);
  });
  if (buffer.empty()) return delays;
  const auto* actions = reinterpret_cast<const SERVICE_FAILURE_ACTIONSW*>(buffer.data());
  for (DWORD i = 0; i < actions->cActions && actions->lpsaActions != nullptr; ++i) {
    if (actions->lpsaActions[i].Type == SC_ACTION_RESTART) delays.push_back(actions->lpsaActions[i].Delay);
  }
  return delays;
}

std::uint32_t ServiceWin32::Config(const std::string& name, ServiceConfig& config) {
  config = {};
  ServiceHandle service;
  if (OpenOne(name, SERVICE_QUERY_CONFIG, service) == 0) {
    config.RestartDelaysMs = RestartDelays(service.Get());
    // A configuration takes at most 8 KB.
    const auto buffer = NeededBytes(8 * 1024, [&](BYTE* data, DWORD size, DWORD* needed) {
      return QueryServiceConfigA(service.Get(), reinterpret_cast<QUERY_SERVICE_CONFIGA*>(data), size, needed);
    });
    if (!buffer.empty()) {
      const auto* answer = reinterpret_cast<const QUERY_SERVICE_CONFIGA*>(buffer.data());
      config.ProgramFile = ProgramOf(answer->lpBinaryPathName);
      config.FromDll = NamesServiceDll(name);
      // One list of services and groups, the groups marked with SC_GROUP_IDENTIFIER ('+').
      if (answer->lpDependencies != nullptr) config.Dependencies = NameList(answer->lpDependencies);
      if (answer->lpLoadOrderGroup != nullptr) config.Group = answer->lpLoadOrderGroup;
      if (!config.Dependencies.empty() || !config.Group.empty()) return 0;
    }
  }
  // The service manager said nothing of them: read where it keeps them. Wine's QueryServiceConfig reports
  // no dependencies (and its EnumDependentServices none either), while the key holds them.
  HKEY raw = nullptr;
  const std::string path = "SYSTEM\\CurrentControlSet\\Services\\" + name;
  if (const LSTATUS error = RegOpenKeyExA(HKEY_LOCAL_MACHINE, path.c_str(), 0, KEY_QUERY_VALUE, &raw)) return error;
  RegistryKey key(raw);
  if (config.ProgramFile.empty()) config.ProgramFile = ProgramOf(RegistryText(key.Get(), "ImagePath").c_str());
  config.FromDll = NamesServiceDll(name);
  config.Dependencies = NameList(RegistryText(key.Get(), "DependOnService").c_str());
  for (const std::string& group : NameList(RegistryText(key.Get(), "DependOnGroup").c_str())) {
    config.Dependencies.push_back("+" + group);
  }
  config.Group = RegistryText(key.Get(), "Group").c_str();
  return 0;
}

// One stop request, shared by its thread and the seam: whichever lets go last frees it.
struct ServiceWin32::StopCall {
  std::string Name;
  std::atomic<bool> Done{false};
  std::uint32_t Error = 0;
};

namespace {

// ControlService waits for the service's control handler: up to 30 s on Windows (ServicesPipeTimeout),
// 10 s under Wine, for ever if the service manager itself hangs. Only this thread waits.
DWORD WINAPI SendStop(void* parameter) {
  const std::unique_ptr<std::shared_ptr<ServiceWin32::StopCall>> held(
      static_cast<std::shared_ptr<ServiceWin32::StopCall>*>(parameter));
  ServiceWin32::StopCall& call = **held;
  DWORD error = ERROR_SUCCESS;
  ServiceHandle manager(OpenSCManagerA(nullptr, nullptr, SC_MANAGER_CONNECT));
  ServiceHandle service(manager ? OpenServiceA(manager.Get(), call.Name.c_str(), SERVICE_STOP) : nullptr);
  SERVICE_STATUS status{};
  if (!service || !ControlService(service.Get(), SERVICE_CONTROL_STOP, &status)) error = GetLastError();
  call.Error = error;
  call.Done.store(true, std::memory_order_release);
  return 0;
}

}  // namespace

void ServiceWin32::RequestStop(const std::string& name) {
  auto call = std::make_shared<StopCall>();
  call->Name = name;
  stops_[name] = call;
  auto* held = new std::shared_ptr<StopCall>(call);
  KernelHandle thread(CreateThread(nullptr, 64 * 1024, &SendStop, held, STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr));
  if (!thread) {
    // No thread for it: the request was never sent, and the answer says why.
    delete held;
    call->Error = GetLastError();
    call->Done.store(true, std::memory_order_release);
  }
}

bool ServiceWin32::StopAnswered(const std::string& name, std::uint32_t& error) {
  const auto call = stops_.find(name);
  if (call == stops_.end()) {
    error = ERROR_INVALID_PARAMETER;
    return true;
  }
  if (!call->second->Done.load(std::memory_order_acquire)) return false;
  error = call->second->Error;
  return true;
}

std::uint32_t ServiceWin32::Query(const std::string& name, ServiceStatus& status) {
  ServiceHandle service;
  if (const std::uint32_t error = OpenOne(name, SERVICE_QUERY_STATUS, service)) return error;
  SERVICE_STATUS_PROCESS process{};
  DWORD needed = 0;
  if (!QueryServiceStatusEx(service.Get(), SC_STATUS_PROCESS_INFO, reinterpret_cast<BYTE*>(&process), sizeof(process),
                            &needed)) {
    return GetLastError();
  }
  status = {static_cast<ServiceState>(process.dwCurrentState), process.dwCheckPoint, process.dwWaitHint};
  return 0;
}

}  // namespace tarnwick
