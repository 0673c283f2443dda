// The service seam over the Win32 service manager (advapi32): running services with their processes,
// their configured dependencies and program, the stop request (sent from a thread of its own) and the state.
#pragma once
#include <map>
#include <memory>

#include "common/Win32Handles.h"
#include "process/ServiceApi.h"

namespace tarnwick {

class ServiceWin32 final : public ServiceApi {
 public:
  std::uint32_t RunningServices(std::vector<RunningService>& services) override;
  std::uint32_t Config(const std::string& name, ServiceConfig& config) override;
  void RequestStop(const std::string& name) override;
  bool StopAnswered(const std::string& name, std::uint32_t& error) override;

  // A request in flight, shared with the thread that sends it.
  struct StopCall;
  std::uint32_t Query(const std::string& name, ServiceStatus& status) override;

 private:
  // The manager, opened on first need; 0 or why it could not be.
  std::uint32_t OpenManager();
  // One service with the given rights; 0 or why it could not be opened.
  std::uint32_t OpenOne(const std::string& name, DWORD rights, ServiceHandle& service);

  std::map<std::string, std::shared_ptr<StopCall>> stops_;  // the last request of each service, by name
  ServiceHandle manager_;
  bool managerTried_ = false;
  std::uint32_t managerError_ = 0;
};

}  // namespace tarnwick
