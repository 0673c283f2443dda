// The service rules: which services a host's end stops, in which order, how long each stop is awaited
// (following the service's wait hint, within a cap), when the process is forced and when it never is.
#include "process/ServiceStop.h"

#include <algorithm>

#include "common/Text.h"

namespace tarnwick {
namespace {

constexpr std::uint32_t kPollMinMs = 100;
constexpr std::uint32_t kPollMaxMs = 1000;

struct StopOutcome {
  bool Asked = false;    // the service manager took the stop request
  bool Stopped = false;  // the service reported SERVICE_STOPPED (or is gone)
  std::uint32_t Error = 0;
  std::uint32_t WaitedMs = 0;
};

// Asks the service manager to stop the service, then waits for SERVICE_STOPPED: at most the service
// limit, and no longer than the service's own wait hint allows a stop without progress.
StopOutcome StopAndWait(EndContext& context, const std::string& name) {
  ServiceApi& services = context.Services();
  const std::uint64_t start = context.Now();
  const std::uint64_t until = context.Until(context.Limits().ServiceWaitMs);
  StopOutcome outcome;
  ServiceStatus status;
  const std::uint32_t error = services.Stop(name);
  if (error == kErrorServiceNotActive || error == kErrorServiceDoesNotExist) {
    outcome.Asked = outcome.Stopped = true;
    return outcome;
  }
  // A stop requested by someone else already is awaited like our own.
  const bool pending = error == kErrorServiceCannotAcceptControl && services.Query(name, status) == 0 &&
                       status.State == ServiceState::StopPending;
  if (error != 0 && !pending) {
    outcome.Error = error;
    return outcome;
  }
  outcome.Asked = true;
  std::uint32_t checkPoint = ~0u;
  std::uint64_t progressAt = start;
  const std::string waiting = "Waiting for service " + name + " to stop";
  for (;;) {
    const std::uint32_t queried = services.Query(name, status);
    if (queried == kErrorServiceDoesNotExist || (queried == 0 && status.State == ServiceState::Stopped)) {
      outcome.Stopped = true;
      break;
    }
    if (queried == 0 && status.State == ServiceState::StopPending) {
      if (status.CheckPoint != checkPoint) {
        checkPoint = status.CheckPoint;
        progressAt = context.Now();
      } else if (status.WaitHintMs > 0 && context.Now() - progressAt > status.WaitHintMs) {
        break;  // no progress within its own wait hint: the service manager's sign of a hung stop
      }
    }
    if (context.Now() >= until) break;
    const std::uint32_t poll = std::clamp(status.WaitHintMs / 10, kPollMinMs, kPollMaxMs);
    context.Pause(poll, until, waiting);
  }
  outcome.WaitedMs = context.Since(start);
  return outcome;
}

EndRecord ServiceRecord(const ServiceHostTarget& target, const std::string& service, const StopOutcome& outcome,
                        const std::vector<std::string>& dependents, bool processEnded) {
  EndRecord record{.Image = target.Image,
                   .Id = target.Id,
                   .Session = target.Session,
                   .Service = service,
                   .Result = EndResult::ServiceStopped};
  if (outcome.Stopped) {
    record.Names = dependents;
  } else if (outcome.Asked && processEnded) {
    record.Result = EndResult::ServiceForced;
    record.WaitedMs = outcome.WaitedMs;
  } else {
    record.Result = EndResult::ServiceNotStopped;
    record.Error = outcome.Error;
    record.WaitedMs = outcome.WaitedMs;
  }
  return record;
}

}  // namespace

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
    // A configuration that cannot be read names no dependencies.
    if (api.Config(service.Name, config) == 0) configs_[UpperCase(service.Name)] = config;
  }
}

bool ServiceHosts::Needs(const RunningService& dependent, const RunningService& service) const {
  const auto dependentConfig = configs_.find(UpperCase(dependent.Name));
  if (dependentConfig == configs_.end()) return false;
  const auto serviceConfig = configs_.find(UpperCase(service.Name));
  const std::string group = serviceConfig != configs_.end() ? serviceConfig->second.Group : std::string();
  return std::ranges::any_of(dependentConfig->second.Dependencies, [&](const std::string& needed) {
    // "+Group" needs any service of that load order group.
    if (!needed.empty() && needed[0] == '+') {
      return !group.empty() && EqualsNoCase(std::string_view(needed).substr(1), group);
    }
    return EqualsNoCase(needed, service.Name);
  });
}

std::vector<RunningService> ServiceHosts::DependentsInStopOrder(ServiceApi& api, const std::string& name) {
  ReadConfigs(api);
  std::vector<RunningService> order;
  std::set<std::string> visited{UpperCase(name)};
  // Depth first: a dependent is placed after everything that depends on it, so it stops after them.
  std::function<void(const RunningService&)> visit = [&](const RunningService& service) {
    for (const RunningService& other : running_) {
      if (!Needs(other, service) || !visited.insert(UpperCase(other.Name)).second) continue;
      visit(other);
      order.push_back(other);
    }
  };
  for (const RunningService& service : running_) {
    if (EqualsNoCase(service.Name, name)) visit(service);
  }
  return order;
}

bool EndServiceHost(EndContext& context, ServiceHosts& hosts, const ServiceHostTarget& target,
                    std::set<std::string>& stoppedInPass, const std::function<std::string(ProcessId)>& imageOf) {
  const std::vector<RunningService> hosted = hosts.In(target.Id);
  // A service of its own process is alone there; several, or the shared type, make a shared host.
  if (hosted.size() != 1 || hosted[0].SharedProcess) {
    context.Emit({.Image = target.Image,
                  .Id = target.Id,
                  .Session = target.Session,
                  .Result = EndResult::SharedHost,
                  .Names = hosts.NamesIn(target.Id)});
    return false;
  }
  const std::string& service = hosted[0].Name;
  std::vector<std::string> dependents;
  for (const RunningService& dependent : hosts.DependentsInStopOrder(context.Services(), service)) {
    if (stoppedInPass.contains(UpperCase(dependent.Name))) continue;
    const StopOutcome stop = StopAndWait(context, dependent.Name);
    const ServiceHostTarget host{.Image = imageOf(dependent.Pid), .Id = dependent.Pid, .Session = 0};
    context.Emit(ServiceRecord(host, dependent.Name, stop, {}, false));
    if (!stop.Stopped) continue;
    stoppedInPass.insert(UpperCase(dependent.Name));
    dependents.push_back(dependent.Name);
  }

  StopOutcome stop;
  const bool stoppedBefore = stoppedInPass.contains(UpperCase(service));
  if (stoppedBefore) {
    stop.Asked = stop.Stopped = true;
  } else {
    stop = StopAndWait(context, service);
    if (stop.Stopped) stoppedInPass.insert(UpperCase(service));
  }
  const std::string waiting = "Waiting for " + target.Image + " to end";
  const std::uint64_t stoppedAt = context.Now();
  if (stop.Stopped && context.WaitGone(target.Wait, context.Until(context.Limits().ProcessWaitMs), waiting)) {
    if (!stoppedBefore) context.Emit(ServiceRecord(target, service, stop, dependents, true));
    context.Emit({.Image = target.Image, .Id = target.Id, .Session = target.Session, .Result = EndResult::Ended});
    return true;
  }

  // Still there: ended as any other process would be.
  EndRecord process{.Image = target.Image, .Id = target.Id, .Session = target.Session, .Result = EndResult::Ended};
  bool ended = false;
  if (!context.Terminate(target.Process, target.Wait, process.Error)) {
    process.Result = EndResult::Refused;
  } else {
    const std::uint64_t forcedAt = context.Now();
    ended = context.WaitGone(target.Wait, context.Until(context.Limits().ProcessWaitMs), waiting);
    if (!ended) {
      process.Result = EndResult::StillRunning;
      process.WaitedMs = context.Since(forcedAt);
    } else if (stop.Stopped) {
      process.WaitedMs = static_cast<std::uint32_t>(forcedAt - stoppedAt);  // it lingered after its service stopped
    }
  }
  if (!stoppedBefore) context.Emit(ServiceRecord(target, service, stop, dependents, ended));
  context.Emit(process);
  return ended;
}

}  // namespace tarnwick
