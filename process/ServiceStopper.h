// The service stops of one pass: every service of the hosts to end and every running dependent of them,
// each asked once every service that needs it has finished (level by level, as net stop), and each
// followed by its own progress reports within the service limit. Used by the host ender (ServiceStop).
#pragma once
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "process/EndContext.h"
#include "process/ServiceHosts.h"

namespace tarnwick {

class ServiceStopper {
 public:
  static constexpr std::size_t kNoHost = std::numeric_limits<std::size_t>::max();

  // `imageOf` names the process of a dependent that is no host.
  ServiceStopper(EndContext& context, ServiceHosts& hosts, std::function<std::string(ProcessId)> imageOf);

  // Plans the stop of every service in process `id`, the host numbered `host`; then, once every host is
  // added, AddDependents plans their running dependents, wherever they run.
  void AddHost(std::size_t host, ProcessId id);
  void AddDependents();

  // Asks what may be asked and looks at what was asked, until nothing changes. A dependent in a process
  // that is no host has its record as soon as it has finished.
  void Advance();
  bool Done() const;
  // Whether every service of `host` has finished; `allStopped` then tells whether each of them stopped.
  bool HostFinished(std::size_t host, bool& allStopped) const;
  // The records of the host's services, given whether its process has ended.
  void EmitHostServices(std::size_t host, const EndRecord& process);

  // How long to wait before the next look; the names of the services still stopping ("" when none).
  std::uint32_t PollMs() const;
  std::string Busy() const;

 private:
  enum class Phase { Waiting, Asked, Pending, Stopped, Failed };
  struct Step {
    RunningService Service{};
    std::size_t Host = kNoHost;
    Phase State = Phase::Waiting;
    bool Asked = false;  // the request went out and was not refused (taken, or never answered)
    std::uint32_t Error = 0;
    std::uint64_t AskedAt = 0;
    std::uint64_t Until = 0;
    std::uint64_t ProgressAt = 0;
    std::uint32_t CheckPoint = ~0u;
    std::uint32_t WaitHintMs = 0;
    std::uint32_t WaitedMs = 0;
    bool Finished() const { return State == Phase::Stopped || State == Phase::Failed; }
    bool Busy() const { return State != Phase::Waiting && !Finished(); }
  };

  void Add(const RunningService& service, std::size_t host);
  bool Ready(std::size_t s) const;
  bool AdvanceOnce();
  void Ask(Step& step);
  bool Follow(Step& step);
  void Finish(Step& step, Phase result, bool asked, std::uint32_t error);
  EndRecord Record(const Step& step, const EndRecord& process) const;

  EndContext& context_;
  ServiceApi& api_;
  ServiceHosts& hosts_;
  std::function<std::string(ProcessId)> imageOf_;
  std::vector<Step> steps_;
  std::vector<std::vector<bool>> needs_;  // needs_[d][s]: service d needs service s
};

}  // namespace tarnwick
