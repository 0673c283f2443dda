// The service stops of one pass: the order (dependents first, level by level), the request sent from
// where a hung control handler cannot hold the caller, and the follow-up by the service's own wait hint and
// checkpoints within the service limit.
#include "process/ServiceStopper.h"

#include <algorithm>

#include "common/Text.h"

namespace tarnwick {
namespace {

constexpr std::uint32_t kPollMinMs = 100;
constexpr std::uint32_t kPollMaxMs = 1000;

}  // namespace

ServiceStopper::ServiceStopper(EndContext& context, ServiceHosts& hosts, std::function<std::string(ProcessId)> imageOf)
    : context_(context), api_(context.Services()), hosts_(hosts), imageOf_(std::move(imageOf)) {}

void ServiceStopper::AddHost(std::size_t host, ProcessId id) {
  for (const RunningService& service : hosts_.In(id)) Add(service, host);
}

void ServiceStopper::AddDependents() {
  // Every running dependent of a service to stop is stopped too, once, wherever it runs.
  for (std::size_t i = 0; i < steps_.size(); ++i) {
    for (const RunningService& dependent : hosts_.DependentsInStopOrder(api_, steps_[i].Service.Name)) {
      Add(dependent, kNoHost);
    }
  }
  needs_.assign(steps_.size(), std::vector<bool>(steps_.size(), false));
  for (std::size_t d = 0; d < steps_.size(); ++d) {
    for (std::size_t s = 0; s < steps_.size(); ++s) {
      needs_[d][s] = d != s && hosts_.Needs(api_, steps_[d].Service.Name, steps_[s].Service.Name);
    }
  }
}

void ServiceStopper::Add(const RunningService& service, std::size_t host) {
  const bool known =
      std::ranges::any_of(steps_, [&](const Step& step) { return EqualsNoCase(step.Service.Name, service.Name); });
  if (!known) steps_.push_back({.Service = service, .Host = host});
}

void ServiceStopper::Advance() {
  for (bool changed = true; changed;) changed = AdvanceOnce();
}

bool ServiceStopper::Done() const {
  return std::ranges::all_of(steps_, [](const Step& s) { return s.Finished(); });
}

bool ServiceStopper::HostFinished(std::size_t host, bool& allStopped) const {
  bool finished = true;
  allStopped = true;
  for (const Step& step : steps_) {
    if (step.Host != host) continue;
    finished = finished && step.Finished();
    allStopped = allStopped && step.State == Phase::Stopped;
  }
  return finished;
}

void ServiceStopper::EmitHostServices(std::size_t host, const EndRecord& process) {
  for (const Step& step : steps_) {
    if (step.Host == host) context_.Emit(Record(step, process));
  }
}

// A service is asked once every running service that needs it has finished: level by level, as net stop.
bool ServiceStopper::Ready(std::size_t s) const {
  for (std::size_t d = 0; d < steps_.size(); ++d) {
    if (needs_[d][s] && !steps_[d].Finished()) return false;
  }
  return true;
}

// True when a service changed its step: one that finished may let another be asked.
bool ServiceStopper::AdvanceOnce() {
  bool changed = false;
  for (Step& step : steps_) {
    if (step.Busy()) changed = Follow(step) || changed;
  }
  std::vector<std::size_t> ready;
  for (std::size_t s = 0; s < steps_.size(); ++s) {
    if (steps_[s].State == Phase::Waiting && Ready(s)) ready.push_back(s);
  }
  // Services that need each other in a ring: none would ever be first, so all go at once.
  const bool stuck = ready.empty() && std::ranges::none_of(steps_, [](const Step& s) { return s.Busy(); });
  for (std::size_t s = 0; s < steps_.size(); ++s) {
    const bool waiting = steps_[s].State == Phase::Waiting;
    if (!waiting || (!stuck && std::ranges::find(ready, s) == ready.end())) continue;
    Ask(steps_[s]);
    changed = true;
  }
  return changed;
}

void ServiceStopper::Ask(Step& step) {
  api_.RequestStop(step.Service.Name);
  step.State = Phase::Asked;
  step.AskedAt = step.ProgressAt = context_.Now();
  step.Until = context_.Until(context_.Limits().ServiceWaitMs);
  Follow(step);
}

// One look at a service that was asked; true when its step changed.
bool ServiceStopper::Follow(Step& step) {
  const Phase before = step.State;
  ServiceStatus status;
  if (step.State == Phase::Asked) {
    std::uint32_t error = 0;
    if (!api_.StopAnswered(step.Service.Name, error)) {
      // The control handler holds the request: within the cap the answer may still come.
      if (context_.Now() >= step.Until) Finish(step, Phase::Failed, true, kErrorServiceRequestTimeout);
      return step.State != before;
    }
    if (error == kErrorServiceNotActive || error == kErrorServiceDoesNotExist) {
      Finish(step, Phase::Stopped, true, 0);
      return true;
    }
    // A stop requested by someone else already is awaited like our own.
    const bool pending = error == kErrorServiceCannotAcceptControl && api_.Query(step.Service.Name, status) == 0 &&
                         status.State == ServiceState::StopPending;
    if (error != 0 && !pending) {
      Finish(step, Phase::Failed, false, error);
      return true;
    }
    step.State = Phase::Pending;
    step.Asked = true;
  }
  const std::uint32_t queried = api_.Query(step.Service.Name, status);
  if (queried == kErrorServiceDoesNotExist || (queried == 0 && status.State == ServiceState::Stopped)) {
    Finish(step, Phase::Stopped, true, 0);
    return true;
  }
  step.WaitHintMs = queried == 0 ? status.WaitHintMs : 0;
  if (queried == 0 && status.State == ServiceState::StopPending) {
    if (status.CheckPoint != step.CheckPoint) {
      step.CheckPoint = status.CheckPoint;
      step.ProgressAt = context_.Now();
    } else if (status.WaitHintMs > 0 && context_.Now() - step.ProgressAt > status.WaitHintMs) {
      // No progress within its own wait hint: the service manager's sign of a hung stop.
      Finish(step, Phase::Failed, true, 0);
      return true;
    }
  }
  if (context_.Now() >= step.Until) Finish(step, Phase::Failed, true, 0);
  return step.State != before;
}

void ServiceStopper::Finish(Step& step, Phase result, bool asked, std::uint32_t error) {
  step.State = result;
  step.Asked = asked;
  step.Error = error;
  step.WaitedMs = context_.Since(step.AskedAt);
  // A dependent in a process that is no target has its line now (that process is not ended: a service
  // that did not stop is "could not stop", never "forced"); a host's services come with the host.
  if (step.Host == kNoHost)
    context_.Emit(Record(step, {.Image = imageOf_(step.Service.Pid),
                                .Id = step.Service.Pid,
                                .Session = 0,
                                .Result = EndResult::StillRunning}));
}

// The service's record beside `process`, the record of its process (its image, ids and whether it ended).
EndRecord ServiceStopper::Record(const Step& step, const EndRecord& process) const {
  const bool processEnded = process.Result == EndResult::Ended;
  EndRecord record{.Image = process.Image,
                   .Id = process.Id,
                   .Session = process.Session,
                   .Service = step.Service.Name,
                   .Result = EndResult::ServiceStopped};
  if (step.State == Phase::Stopped) {
    for (const RunningService& dependent : hosts_.DependentsInStopOrder(api_, step.Service.Name)) {
      const bool stopped = std::ranges::any_of(steps_, [&](const Step& other) {
        return other.State == Phase::Stopped && EqualsNoCase(other.Service.Name, dependent.Name);
      });
      if (stopped) record.Names.push_back(dependent.Name);
    }
  } else {
    record.Result = step.Asked && processEnded ? EndResult::ServiceForced : EndResult::ServiceNotStopped;
    record.Error = step.Error;
    record.WaitedMs = step.WaitedMs;
  }
  return record;
}

std::uint32_t ServiceStopper::PollMs() const {
  std::uint32_t poll = kPollMaxMs;
  for (const Step& step : steps_) {
    if (step.Busy()) poll = std::min(poll, std::clamp(step.WaitHintMs / 10, kPollMinMs, kPollMaxMs));
  }
  return poll;
}

std::string ServiceStopper::Busy() const {
  std::string names;
  int count = 0;
  for (const Step& step : steps_) {
    if (!step.Busy()) continue;
    names += (count++ == 0 ? "" : ", ") + step.Service.Name;
  }
  if (count == 0) return {};
  return (count == 1 ? "Waiting for service " : "Waiting for services ") + names + " to stop";
}

}  // namespace tarnwick
