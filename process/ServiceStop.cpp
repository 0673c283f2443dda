// The service rules: which services a pass stops, in which order, how long each stop is awaited (by the
// service's own wait hint and checkpoints, within a cap), when a host is forced and when it never is.
// Every service is followed at once, so the pass takes about as long as its slowest service.
#include "process/ServiceStop.h"

#include <algorithm>
#include <cstddef>
#include <limits>

#include "common/Text.h"

namespace tarnwick {
namespace {

constexpr std::uint32_t kPollMinMs = 100;
constexpr std::uint32_t kPollMaxMs = 1000;
constexpr std::size_t kNoHost = std::numeric_limits<std::size_t>::max();

enum class Phase { Waiting, Asked, Pending, Stopped, Failed };

struct ServiceStep {
  RunningService Service{};
  std::size_t Host = kNoHost;  // the target that hosts it; kNoHost for a dependent in another process
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

enum class HostStep { Services, AwaitingEnd, Forced, Done };

struct HostStepState {
  HostStep State = HostStep::Services;
  bool Gone = false;
  bool AllStopped = false;
  std::uint64_t Until = 0;
  std::uint64_t StoppedAt = 0;
  std::uint64_t ForcedAt = 0;
};

}  // namespace

class ServiceHostStop::Steps {
 public:
  Steps(EndContext& context, ServiceHosts& hosts, const std::vector<ServiceHostTarget>& targets,
        const std::function<std::string(ProcessId)>& imageOf)
      : context_(context),
        api_(context.Services()),
        hosts_(hosts),
        targets_(targets),
        imageOf_(imageOf),
        states_(targets.size()) {
    Plan();
  }

  bool Step() {
    for (bool changed = true; changed;) changed = AdvanceServices();
    bool done = std::ranges::all_of(steps_, [](const ServiceStep& s) { return s.Finished(); });
    for (std::size_t h = 0; h < targets_.size(); ++h) {
      AdvanceHost(h);
      done = done && states_[h].State == HostStep::Done;
    }
    return done;
  }

  std::vector<bool> Gone() const {
    std::vector<bool> gone;
    for (const HostStepState& state : states_) gone.push_back(state.Gone);
    return gone;
  }

 private:
  void Plan() {
    for (std::size_t h = 0; h < targets_.size(); ++h) {
      const ServiceHostTarget& target = targets_[h];
      if (!hosts_.IsOwnHost(api_, target.Id, target.ProgramFile)) {
        context_.Emit({.Image = target.Image,
                       .Id = target.Id,
                       .Session = target.Session,
                       .Result = EndResult::SharedHost,
                       .Names = hosts_.NamesIn(target.Id)});
        states_[h].State = HostStep::Done;
        continue;
      }
      for (const RunningService& service : hosts_.In(target.Id)) Add(service, h);
    }
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

  void Add(const RunningService& service, std::size_t host) {
    const bool known = std::ranges::any_of(
        steps_, [&](const ServiceStep& step) { return EqualsNoCase(step.Service.Name, service.Name); });
    if (!known) steps_.push_back({.Service = service, .Host = host});
  }

  // A service is asked once every running service that needs it has finished: level by level, as net stop.
  bool Ready(std::size_t s) const {
    for (std::size_t d = 0; d < steps_.size(); ++d) {
      if (needs_[d][s] && !steps_[d].Finished()) return false;
    }
    return true;
  }

  // True when a service changed its step: one that finished may let another be asked.
  bool AdvanceServices() {
    bool changed = false;
    for (ServiceStep& step : steps_) {
      if (step.Busy()) changed = Follow(step) || changed;
    }
    std::vector<std::size_t> ready;
    for (std::size_t s = 0; s < steps_.size(); ++s) {
      if (steps_[s].State == Phase::Waiting && Ready(s)) ready.push_back(s);
    }
    // Services that need each other in a ring: none would ever be first, so all go at once.
    const bool stuck = ready.empty() && std::ranges::none_of(steps_, [](const ServiceStep& s) { return s.Busy(); });
    for (std::size_t s = 0; s < steps_.size(); ++s) {
      const bool waiting = steps_[s].State == Phase::Waiting;
      if (!waiting || (!stuck && std::ranges::find(ready, s) == ready.end())) continue;
      Ask(steps_[s]);
      changed = true;
    }
    return changed;
  }

  void Ask(ServiceStep& step) {
    api_.RequestStop(step.Service.Name);
    step.State = Phase::Asked;
    step.AskedAt = step.ProgressAt = context_.Now();
    step.Until = context_.Until(context_.Limits().ServiceWaitMs);
    Follow(step);
  }

  // One look at a service that was asked; true when its step changed.
  bool Follow(ServiceStep& step) {
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

  void Finish(ServiceStep& step, Phase result, bool asked, std::uint32_t error) {
    step.State = result;
    step.Asked = asked;
    step.Error = error;
    step.WaitedMs = context_.Since(step.AskedAt);
    // A dependent in a process that is no target has its line now; a host's services come with the host.
    if (step.Host == kNoHost)
      context_.Emit(ServiceRecord(step, imageOf_(step.Service.Pid), step.Service.Pid, 0, false));
  }

  void AdvanceHost(std::size_t h) {
    HostStepState& state = states_[h];
    const ServiceHostTarget& target = targets_[h];
    if (state.State == HostStep::Services) {
      bool finished = true;
      state.AllStopped = true;
      for (const ServiceStep& step : steps_) {
        if (step.Host != h) continue;
        finished = finished && step.Finished();
        state.AllStopped = state.AllStopped && step.State == Phase::Stopped;
      }
      if (!finished) return;
      state.StoppedAt = context_.Now();
      state.Until = context_.Until(context_.Limits().ProcessWaitMs);
      state.State = state.AllStopped ? HostStep::AwaitingEnd : HostStep::Forced;
      if (!state.AllStopped) Force(h);
    }
    if (state.State == HostStep::AwaitingEnd) {
      if (context_.Processes().WaitForExit(target.Wait, 0)) {
        EmitHost(h, {.Result = EndResult::Ended});
        return;
      }
      if (context_.Now() < state.Until) return;
      Force(h);  // still there: ended as any other process would be
    }
    if (state.State == HostStep::Forced) {
      if (context_.Processes().WaitForExit(target.Wait, 0)) {
        // It lingered after its services stopped: how long it was given.
        const auto lingered = static_cast<std::uint32_t>(state.AllStopped ? state.ForcedAt - state.StoppedAt : 0);
        EmitHost(h, {.Result = EndResult::Ended, .WaitedMs = lingered});
      } else if (context_.Now() >= state.Until) {
        EmitHost(h, {.Result = EndResult::StillRunning, .WaitedMs = context_.Since(state.ForcedAt)});
      }
    }
  }

  void Force(std::size_t h) {
    HostStepState& state = states_[h];
    std::uint32_t error = 0;
    if (!context_.Terminate(targets_[h].Process, targets_[h].Wait, error)) {
      EmitHost(h, {.Result = EndResult::Refused, .Error = error});
      return;
    }
    state.State = HostStep::Forced;
    state.ForcedAt = context_.Now();
    state.Until = context_.UntilForcedGone(context_.Limits().ProcessWaitMs);
  }

  // The host's services, then the process, with the result `process` (its image and ids are filled in).
  void EmitHost(std::size_t h, EndRecord process) {
    const ServiceHostTarget& target = targets_[h];
    const bool ended = process.Result == EndResult::Ended;
    for (const ServiceStep& step : steps_) {
      if (step.Host == h) context_.Emit(ServiceRecord(step, target.Image, target.Id, target.Session, ended));
    }
    process.Image = target.Image;
    process.Id = target.Id;
    process.Session = target.Session;
    context_.Emit(std::move(process));
    states_[h].State = HostStep::Done;
    states_[h].Gone = ended;
  }

  EndRecord ServiceRecord(const ServiceStep& step, const std::string& image, ProcessId id, SessionId session,
                          bool processEnded) {
    EndRecord record{.Image = image,
                     .Id = id,
                     .Session = session,
                     .Service = step.Service.Name,
                     .Result = EndResult::ServiceStopped};
    if (step.State == Phase::Stopped) {
      for (const RunningService& dependent : hosts_.DependentsInStopOrder(api_, step.Service.Name)) {
        if (StoppedInPass(dependent.Name)) record.Names.push_back(dependent.Name);
      }
    } else {
      record.Result = step.Asked && processEnded ? EndResult::ServiceForced : EndResult::ServiceNotStopped;
      record.Error = step.Error;
      record.WaitedMs = step.WaitedMs;
    }
    return record;
  }

  bool StoppedInPass(const std::string& name) const {
    return std::ranges::any_of(steps_, [&](const ServiceStep& step) {
      return step.State == Phase::Stopped && EqualsNoCase(step.Service.Name, name);
    });
  }

  // The pass's loop asks these between steps.
 public:
  std::uint32_t PollMs() const {
    std::uint32_t poll = kPollMaxMs;
    for (const ServiceStep& step : steps_) {
      if (step.Busy()) poll = std::min(poll, std::clamp(step.WaitHintMs / 10, kPollMinMs, kPollMaxMs));
    }
    for (const HostStepState& state : states_) {
      if (state.State == HostStep::AwaitingEnd || state.State == HostStep::Forced) poll = kPollMinMs;
    }
    return poll;
  }

  // The run's deadline; a host forced as it came waits a little past it.
  std::uint64_t PauseUntil() const {
    std::uint64_t until = context_.Deadline();
    for (const HostStepState& state : states_) {
      if (state.State == HostStep::Forced) until = std::max(until, state.Until);
    }
    return until;
  }

  // What the window shows meanwhile: the services still stopping, else the first process awaited.
  std::string Status() const {
    std::string names;
    int count = 0;
    for (const ServiceStep& step : steps_) {
      if (!step.Busy()) continue;
      names += (count++ == 0 ? "" : ", ") + step.Service.Name;
    }
    if (count > 0) return (count == 1 ? "Waiting for service " : "Waiting for services ") + names + " to stop";
    for (std::size_t h = 0; h < targets_.size(); ++h) {
      if (states_[h].State != HostStep::Done) return "Waiting for " + targets_[h].Image + " to end";
    }
    return {};
  }

 private:
  EndContext& context_;
  ServiceApi& api_;
  ServiceHosts& hosts_;
  const std::vector<ServiceHostTarget> targets_;
  const std::function<std::string(ProcessId)> imageOf_;
  std::vector<HostStepState> states_;
  std::vector<ServiceStep> steps_;
  std::vector<std::vector<bool>> needs_;  // needs_[d][s]: service d needs service s
};

ServiceHostStop::ServiceHostStop(EndContext& context, ServiceHosts& hosts,
                                 const std::vector<ServiceHostTarget>& targets,
                                 const std::function<std::string(ProcessId)>& imageOf)
    : steps_(std::make_unique<Steps>(context, hosts, targets, imageOf)) {}
ServiceHostStop::~ServiceHostStop() = default;
bool ServiceHostStop::Step() { return steps_->Step(); }
std::uint32_t ServiceHostStop::PollMs() const { return steps_->PollMs(); }
std::uint64_t ServiceHostStop::PauseUntil() const { return steps_->PauseUntil(); }
std::string ServiceHostStop::Status() const { return steps_->Status(); }
std::vector<bool> ServiceHostStop::Gone() const { return steps_->Gone(); }

}  // namespace tarnwick
