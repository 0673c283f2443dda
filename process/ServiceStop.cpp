// The host ender: when a host of the suite's services is awaited, when it is forced and when it never is
// (a shared host of other products' services). Its services are stopped by the ServiceStopper, all of them
// followed at once, so the pass takes about as long as its slowest service.
#include "process/ServiceStop.h"

#include <algorithm>

#include "process/ServiceStopper.h"

namespace tarnwick {
namespace {

constexpr std::uint32_t kHostPollMs = 100;

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
      : context_(context), targets_(targets), states_(targets.size()), services_(context, hosts, imageOf) {
    for (std::size_t h = 0; h < targets_.size(); ++h) {
      const ServiceHostTarget& target = targets_[h];
      if (!hosts.IsOwnHost(context.Services(), target.Tag.Id, target.ProgramFile)) {
        context_.Emit(RecordOf(target.Tag, {.Result = EndResult::SharedHost, .Names = hosts.NamesIn(target.Tag.Id)}));
        states_[h].State = HostStep::Done;
        continue;
      }
      services_.AddHost(h, target.Tag.Id);
    }
    services_.AddDependents();
  }

  bool Step() {
    services_.Advance();
    bool done = services_.Done();
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

  std::uint32_t PollMs() const {
    for (const HostStepState& state : states_) {
      if (state.State == HostStep::AwaitingEnd || state.State == HostStep::Forced) return kHostPollMs;
    }
    return services_.PollMs();
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
    std::string busy = services_.Busy();
    if (!busy.empty()) return busy;
    for (std::size_t h = 0; h < targets_.size(); ++h) {
      if (states_[h].State != HostStep::Done) return "Waiting for " + targets_[h].Tag.Image + " to end";
    }
    return {};
  }

 private:
  void AdvanceHost(std::size_t h) {
    HostStepState& state = states_[h];
    const ServiceHostTarget& target = targets_[h];
    if (state.State == HostStep::Services) {
      if (!services_.HostFinished(h, state.AllStopped)) return;
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
    const bool ended = process.Result == EndResult::Ended;
    process = RecordOf(targets_[h].Tag, std::move(process));
    services_.EmitHostServices(h, process);
    context_.Emit(std::move(process));
    states_[h].State = HostStep::Done;
    states_[h].Gone = ended;
  }

  EndContext& context_;
  const std::vector<ServiceHostTarget> targets_;
  std::vector<HostStepState> states_;
  ServiceStopper services_;
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
