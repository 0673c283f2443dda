// Ending a process that hosts a service the way Windows expects: its running dependents are stopped
// first, then the service, through the service manager; only a process still there after the wait is
// ended by force. A shared service host is never ended by force.
#pragma once
#include <functional>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "process/EndContext.h"

namespace tarnwick {

// The running services of one moment, asked once per pass, with what they depend on (read on first need).
class ServiceHosts {
 public:
  // 0, or why the service manager could not be asked; then no process counts as a service host.
  std::uint32_t Load(ServiceApi& api);
  std::vector<RunningService> In(ProcessId pid) const;
  std::vector<std::string> NamesIn(ProcessId pid) const;
  // The running services that need `name`, directly or through others, each one before those it needs.
  std::vector<RunningService> DependentsInStopOrder(ServiceApi& api, const std::string& name);

 private:
  bool Needs(const RunningService& dependent, const RunningService& service) const;
  void ReadConfigs(ServiceApi& api);

  std::vector<RunningService> running_;
  std::map<std::string, ServiceConfig> configs_;  // by upper-cased name
  bool configsRead_ = false;
};

// A process about to be ended that hosts at least one service; its handles stay open meanwhile.
struct ServiceHostTarget {
  std::string Image{};
  ProcessId Id = 0;
  SessionId Session = kUnknownSession;
  ProcessHandle Process = nullptr;  // opened with the rights to end it
  ProcessHandle Wait = nullptr;     // one that can be waited on (SYNCHRONIZE where it could be had)
};

// Stops the host's service (its dependents first), waits, forces the end if the process stays, and
// records each step. `stoppedInPass` holds the services already stopped in this pass (they are not asked
// again); `imageOf` names the process of a dependent. True when the process is gone.
bool EndServiceHost(EndContext& context, ServiceHosts& hosts, const ServiceHostTarget& target,
                    std::set<std::string>& stoppedInPass, const std::function<std::string(ProcessId)>& imageOf);

}  // namespace tarnwick
