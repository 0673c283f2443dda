// Ending processes that host services the way Windows expects: every service to stop is asked at once,
// its running dependents before it, through the service manager; only a process still there after the
// wait is ended by force. A shared host of other products' services is never ended.
#pragma once
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "process/EndContext.h"
#include "process/ServiceHosts.h"

namespace tarnwick {

// A process about to be ended that hosts at least one service; its handles stay open meanwhile.
struct ServiceHostTarget {
  ProcessTag Tag{};
  ProcessHandle Process = nullptr;  // opened with the rights to end it
  ProcessHandle Wait = nullptr;     // one that can be waited on (SYNCHRONIZE where it could be had)
  std::string ProgramFile{};        // the path of its image: a host of the suite's own runs its services from it
};

// Stops the hosts' services side by side, each service after its running dependents and each waited for
// by its own progress reports within the service limit, then awaits or forces each host, and records each
// step. Advanced a step at a time, so that the pass closes windowed programs meanwhile. `imageOf` names
// the process of a dependent that is no target.
class ServiceHostStop {
 public:
  ServiceHostStop(EndContext& context, ServiceHosts& hosts, const std::vector<ServiceHostTarget>& targets,
                  const std::function<std::string(ProcessId)>& imageOf);
  ~ServiceHostStop();
  ServiceHostStop(const ServiceHostStop&) = delete;
  ServiceHostStop& operator=(const ServiceHostStop&) = delete;

  // One look at every service and host; true once every host is done.
  bool Step();
  // How long to wait before the next look, and the latest moment a step still waits for.
  std::uint32_t PollMs() const;
  std::uint64_t PauseUntil() const;
  // What the window shows meanwhile: the services still stopping, else the first process awaited.
  std::string Status() const;
  // For each host: true when it is gone.
  std::vector<bool> Gone() const;

 private:
  class Steps;
  std::unique_ptr<Steps> steps_;
};

}  // namespace tarnwick
