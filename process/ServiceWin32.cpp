// The service seam over advapi32: EnumServicesStatusExA with the process ids, QueryServiceConfigA (and the
// services' registry keys where it tells nothing), ControlService(SERVICE_CONTROL_STOP) and
// QueryServiceStatusEx. Handles are opened per call and closed.
#include "process/ServiceWin32.h"

#include <windows.h>

#include <cstring>
#include <vector>

namespace tarnwick {
namespace {

struct CloseRegistryKey {
  void operator()(HKEY key) const { RegCloseKey(key); }
};
using RegistryKey = UniqueHandle<HKEY, CloseRegistryKey>;

// A string or multi-string value with its closing NULs; empty when the value is missing.
std::string RegistryText(HKEY key, const char* value) {
  DWORD size = 0;
  if (RegQueryValueExA(key, value, nullptr, nullptr, nullptr, &size) != ERROR_SUCCESS) return {};
  std::string text(size + 2, '\0');
  if (RegQueryValueExA(key, value, nullptr, nullptr, reinterpret_cast<BYTE*>(text.data()), &size) != ERROR_SUCCESS) {
    return {};
  }
  return text;
}

// The names of a multi-string (each ends in a NUL, the list in one more); for a plain string, its text.
std::vector<std::string> NameList(const char* names) {
  std::vector<std::string> list;
  for (const char* name = names; *name != '\0'; name += std::strlen(name) + 1) list.emplace_back(name);
  return list;
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

std::uint32_t ServiceWin32::Config(const std::string& name, ServiceConfig& config) {
  config = {};
  ServiceHandle service;
  if (OpenOne(name, SERVICE_QUERY_CONFIG, service) == 0) {
    DWORD needed = 0;
    QueryServiceConfigA(service.Get(), nullptr, 0, &needed);
    std::vector<BYTE> buffer(needed + sizeof(QUERY_SERVICE_CONFIGA));
    auto* answer = reinterpret_cast<QUERY_SERVICE_CONFIGA*>(buffer.data());
    if (QueryServiceConfigA(service.Get(), answer, static_cast<DWORD>(buffer.size()), &needed)) {
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
  config.Dependencies = NameList(RegistryText(key.Get(), "DependOnService").c_str());
  for (const std::string& group : NameList(RegistryText(key.Get(), "DependOnGroup").c_str())) {
    config.Dependencies.push_back("+" + group);
  }
  config.Group = RegistryText(key.Get(), "Group").c_str();
  return 0;
}

std::uint32_t ServiceWin32::Stop(const std::string& name) {
  ServiceHandle service;
  if (const std::uint32_t error = OpenOne(name, SERVICE_STOP, service)) return error;
  SERVICE_STATUS status{};
  return ControlService(service.Get(), SERVICE_CONTROL_STOP, &status) ? 0 : GetLastError();
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
