// The service manager as the end of a process needs it: which services run in which process, what they
// depend on, the stop request and the state. Faked in the unit tests, real under Windows and Wine.
#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "process/FindProcess.h"

namespace tarnwick {

// SERVICE_STOPPED ... SERVICE_PAUSED as Windows numbers them.
enum class ServiceState : std::uint32_t {
  Stopped = 1,
  StartPending = 2,
  StopPending = 3,
  Running = 4,
  ContinuePending = 5,
  PausePending = 6,
  Paused = 7,
};

// The service manager's error numbers that the rules tell apart.
inline constexpr std::uint32_t kErrorDependentServicesRunning = 1051;
inline constexpr std::uint32_t kErrorServiceRequestTimeout = 1053;  // the control handler did not answer in time
inline constexpr std::uint32_t kErrorServiceDoesNotExist = 1060;
inline constexpr std::uint32_t kErrorServiceCannotAcceptControl = 1061;
inline constexpr std::uint32_t kErrorServiceNotActive = 1062;

// A running Win32 service and the process it lives in.
struct RunningService {
  std::string Name{};
  ProcessId Pid = 0;
  bool SharedProcess = false;  // SERVICE_WIN32_SHARE_PROCESS: its process may host services of others too
};

// What a service needs running before it runs (service names, and load order groups written "+Group"),
// and where its code comes from.
struct ServiceConfig {
  std::vector<std::string> Dependencies{};
  std::string Group{};
  std::string ProgramFile{};  // the program its command line starts (the binary path without its arguments)
  bool FromDll = false;       // its code is a DLL that a generic host loads (a ServiceDll value): another product's
  std::vector<std::uint32_t> RestartDelaysMs{};  // its recovery actions that start it again, each after its delay
};

struct ServiceStatus {
  ServiceState State = ServiceState::Stopped;
  std::uint32_t CheckPoint = 0;
  std::uint32_t WaitHintMs = 0;
};

// Each call returns 0, or the system's error number of what failed.
class ServiceApi {
 public:
  virtual ~ServiceApi() = default;
  // The active Win32 services with their processes (EnumServicesStatusExA, SC_ENUM_PROCESS_INFO).
  virtual std::uint32_t RunningServices(std::vector<RunningService>& services) = 0;
  virtual std::uint32_t Config(const std::string& name, ServiceConfig& config) = 0;
  // Sends ControlService(SERVICE_CONTROL_STOP) from where a service whose control handler hangs cannot hold
  // the caller: returns at once. The answer comes through StopAnswered.
  virtual void RequestStop(const std::string& name) = 0;
  // Whether the service manager has answered the last request for `name`; `error` is then its answer
  // (0: the stop was taken). Never blocks.
  virtual bool StopAnswered(const std::string& name, std::uint32_t& error) = 0;
  virtual std::uint32_t Query(const std::string& name, ServiceStatus& status) = 0;
};

}  // namespace tarnwick
