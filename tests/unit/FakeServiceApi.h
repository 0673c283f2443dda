// A service manager in memory: services in fake processes that stop in time, slowly, never, or refuse;
// it counts what Windows would log as an unexpected end, and restarts such a service where recovery is set.
#pragma once
#include <optional>
#include <string>
#include <vector>

#include "common/Text.h"
#include "process/ServiceApi.h"
#include "tests/unit/FakeProcessApi.h"

namespace tarnwick::test {

struct FakeService {
  enum class OnStop { Stops, Ignores, Hangs };  // Hangs: stop pending without progress
  std::string Name;
  ProcessId Pid = 0;
  bool Shared = false;
  std::vector<std::string> Dependencies;
  std::string Group;
  OnStop Behaviour = OnStop::Stops;
  std::uint32_t StopError = 0;      // what the stop request answers instead of taking it
  std::uint32_t StopTakesMs = 300;  // from the request to SERVICE_STOPPED, with its process's end
  std::uint32_t WaitHintMs = 1000;
  bool ProcessStaysAfterStop = false;  // reports stopped, but its process does not end
  bool Recovers = false;               // the service manager restarts it after an unexpected end
  // State.
  bool Running = true;
  std::optional<std::uint64_t> StopAskedAt;
};

class FakeServiceApi : public ServiceApi {
 public:
  FakeServiceApi(FakeProcessApi& processes, FakeClock& clock) : processes_(processes), clock_(clock) {
    processes_.Time = &clock_;
    processes_.OnTerminate = [this](ProcessId id) { OnProcessEnd(id); };
  }
  std::vector<FakeService> Services;
  std::uint32_t ListError = 0;
  std::vector<std::string> StopRequests;
  int UnexpectedEnds = 0;  // event 7031: a service's process ended while the service ran

  FakeService& Add(const std::string& name, ProcessId pid) {
    FakeService service;
    service.Name = name;
    service.Pid = pid;
    Services.push_back(service);
    return Services.back();
  }

  std::uint32_t RunningServices(std::vector<RunningService>& services) override {
    if (ListError != 0) return ListError;
    services.clear();
    for (FakeService& s : Services) {
      if (IsRunning(s)) services.push_back({s.Name, s.Pid, s.Shared});
    }
    return 0;
  }
  std::uint32_t Config(const std::string& name, ServiceConfig& config) override {
    FakeService* s = Find(name);
    if (s == nullptr) return kErrorServiceDoesNotExist;
    config = {s->Dependencies, s->Group};
    return 0;
  }
  std::uint32_t Stop(const std::string& name) override {
    FakeService* s = Find(name);
    if (s == nullptr) return kErrorServiceDoesNotExist;
    StopRequests.push_back(name);
    if (s->StopError != 0) return s->StopError;
    if (!IsRunning(*s)) return kErrorServiceNotActive;
    if (s->StopAskedAt) return kErrorServiceCannotAcceptControl;
    s->StopAskedAt = clock_.Now;
    FakeProcess* host = processes_.Find(s->Pid);
    if (s->Behaviour == FakeService::OnStop::Stops && !s->ProcessStaysAfterStop && host != nullptr) {
      host->EndsAt = clock_.Now + s->StopTakesMs;
    }
    return 0;
  }
  std::uint32_t Query(const std::string& name, ServiceStatus& status) override {
    FakeService* s = Find(name);
    if (s == nullptr) return kErrorServiceDoesNotExist;
    status = {ServiceState::Running, 0, 0};
    if (!IsRunning(*s)) {
      status.State = ServiceState::Stopped;
    } else if (s->StopAskedAt && s->Behaviour != FakeService::OnStop::Ignores) {
      const bool progresses = s->Behaviour == FakeService::OnStop::Stops;
      status = {ServiceState::StopPending,
                progresses ? static_cast<std::uint32_t>(clock_.Now - *s->StopAskedAt) / 100 : 1, s->WaitHintMs};
    }
    return 0;
  }

 private:
  FakeService* Find(const std::string& name) {
    for (FakeService& s : Services) {
      if (EqualsNoCase(s.Name, name)) return &s;
    }
    return nullptr;
  }
  bool IsRunning(FakeService& s) {
    if (s.Running && s.StopAskedAt && s.Behaviour == FakeService::OnStop::Stops &&
        clock_.Now >= *s.StopAskedAt + s.StopTakesMs) {
      s.Running = false;
    }
    if (s.Running && !processes_.IsAlive(s.Pid)) OnProcessEnd(s.Pid);
    return s.Running;
  }
  void OnProcessEnd(ProcessId id) {
    for (FakeService& s : Services) {
      if (s.Pid != id || !s.Running) continue;
      if (s.StopAskedAt && s.Behaviour == FakeService::OnStop::Stops && clock_.Now >= *s.StopAskedAt + s.StopTakesMs) {
        s.Running = false;
        continue;
      }
      ++UnexpectedEnds;
      s.Running = false;
      if (!s.Recovers) continue;
      // Restarted at once in a new process of the same image.
      const FakeProcess& old = *processes_.Find(id);
      FakeProcess& fresh = processes_.Add(id + 1000, old.ModulePath);
      s.Pid = fresh.Id;
      s.Running = true;
      s.StopAskedAt.reset();
    }
  }

  FakeProcessApi& processes_;
  FakeClock& clock_;
};

}  // namespace tarnwick::test
