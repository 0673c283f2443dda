// The running services and their configurations: hosts, dependents in stop order, the suite's own hosts.
#include "process/ServiceHosts.h"

#include <algorithm>
#include <functional>
#include <set>

#include "common/Text.h"

namespace tarnwick {

std::uint32_t ServiceHosts::Load(ServiceApi& api) {
  running_.clear();
  configs_.clear();
  configsRead_ = false;
  const std::uint32_t error = api.RunningServices(running_);
  if (error != 0) running_.clear();
  return error;
}

std::vector<RunningService> ServiceHosts::In(ProcessId pid) const {
  std::vector<RunningService> hosted;
  for (const RunningService& service : running_) {
    if (service.Pid == pid && pid != 0) hosted.push_back(service);
  }
  return hosted;
}

std::vector<std::string> ServiceHosts::NamesIn(ProcessId pid) const {
  std::vector<std::string> names;
  for (const RunningService& service : In(pid)) names.push_back(service.Name);
  return names;
}

void ServiceHosts::ReadConfigs(ServiceApi& api) {
  if (configsRead_) return;
  configsRead_ = true;
  for (const RunningService& service : running_) {
    ServiceConfig config;
    // A configuration that cannot be read names no dependencies, and makes no host the suite's own.
    if (api.Config(service.Name, config) == 0) configs_[UpperCase(service.Name)] = config;
  }
}

const ServiceConfig* ServiceHosts::ConfigOf(ServiceApi& api, const std::string& name) {
  ReadConfigs(api);
  const auto config = configs_.find(UpperCase(name));
  return config != configs_.end() ? &config->second : nullptr;
}

bool ServiceHosts::Needs(ServiceApi& api, const std::string& dependent, const std::string& service) {
  const ServiceConfig* dependentConfig = ConfigOf(api, dependent);
  if (dependentConfig == nullptr) return false;
  const ServiceConfig* serviceConfig = ConfigOf(api, service);
  const std::string group = serviceConfig != nullptr ? serviceConfig->Group : std::string();
  return std::ranges::any_of(dependentConfig->Dependencies, [&](const std::string& needed) {
    // "+Group" needs any service of that load order group.
    if (!needed.empty() && needed[0] == '+') {
      return !group.empty() && EqualsNoCase(std::string_view(needed).substr(1), group);
    }
    return EqualsNoCase(needed, service);
  });
}

std::vector<RunningService> ServiceHosts::DependentsInStopOrder(ServiceApi& api, const std::string& name) {
  std::vector<RunningService> order;
  std::set<std::string> visited{UpperCase(name)};
  // Depth first: a dependent is placed after everything that depends on it, so it stops after them.
  std::function<void(const std::string&)> visit = [&](const std::string& service) {
    for (const RunningService& other : running_) {
      if (!Needs(api, other.Name, service) || !visited.insert(UpperCase(other.Name)).second) continue;
      visit(other.Name);
      order.push_back(other);
    }
  };
  visit(name);
  return order;
}

bool ServiceHosts::IsOwnHost(ServiceApi& api, ProcessId pid, const std::string& programFile) {
  const std::vector<RunningService> hosted = In(pid);
  // A service of its own process is alone there.
  if (hosted.size() == 1 && !hosted[0].SharedProcess) return true;
  if (hosted.empty() || programFile.empty()) return false;
  return std::ranges::all_of(hosted, [&](const RunningService& service) {
    const ServiceConfig* config = ConfigOf(api, service.Name);
    return config != nullptr && !config->FromDll && EqualsNoCase(config->ProgramFile, programFile);
  });
}

}  // namespace tarnwick
