// The service seam over the Win32 service manager (advapi32): running services with their processes,
// their configured dependencies, the stop request and the state.
#pragma once
#include "common/Win32Handles.h"
#include "process/ServiceApi.h"

namespace tarnwick {

class ServiceWin32 final : public ServiceApi {
 public:
  std::uint32_t RunningServices(std::vector<RunningService>& services) override;
  std::uint32_t Config(const std::string& name, ServiceConfig& config) override;
  std::uint32_t Stop(const std::string& name) override;
  std::uint32_t Query(const std::string& name, ServiceStatus& status) override;

 private:
  // The manager, opened on first need; 0 or why it could not be.
  std::uint32_t OpenManager();
  // One service with the given rights; 0 or why it could not be opened.
  std::uint32_t OpenOne(const std::string& name, DWORD rights, ServiceHandle& service);

  ServiceHandle manager_;
  bool managerTried_ = false;
  std::uint32_t managerError_ = 0;
};

}  // namespace tarnwick
