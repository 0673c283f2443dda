// The running services of one moment and what the rules need of them: which process hosts which
// services, what they depend on, and whether a host is the suite's own or a generic one.
#pragma once
#include <map>
#include <string>
#include <vector>

#include "process/ServiceApi.h"

namespace tarnwick {

// Asked once per pass; the configurations are read on first need.
class ServiceHosts {
 public:
  // 0, or why the service manager could not be asked; then no process counts as a service host.
  [[nodiscard]] std::uint32_t Load(ServiceApi& api);
  std::vector<RunningService> In(ProcessId pid) const;
  std::vector<std::string> NamesIn(ProcessId pid) const;
  // The running services that need `name`, directly or through others, each one before those it needs.
  std::vector<RunningService> DependentsInStopOrder(ServiceApi& api, const std::string& name);
  // Whether `dependent` needs `service` directly (by name, or through its load order group).
  bool Needs(ServiceApi& api, const std::string& dependent, const std::string& service);
  // True when every service of the process runs from the program file `programFile`: a host of the suite's
  // own, whose end stops each of them. A shared host of other products' services (svchost.exe and its like,
  // whose services are DLLs) or one whose configuration cannot be read is not.
  bool IsOwnHost(ServiceApi& api, ProcessId pid, const std::string& programFile);

 private:
  const ServiceConfig* ConfigOf(ServiceApi& api, const std::string& name);
  void ReadConfigs(ServiceApi& api);

  std::vector<RunningService> running_;
  std::map<std::string, ServiceConfig> configs_;  // by upper-cased name
  bool configsRead_ = false;
};

}  // namespace tarnwick
