// A service manager in memory: services in fake processes that stop in time, slowly, never, or refuse;
// it counts what Windows would log as an unexpected end, and restarts such a service where recovery is set.
#pragma once
#include <map>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "common/Text.h"
#include "process/EndRecord.h"
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
  std::uint32_t ProgressEveryMs = 100;          // Stops: a fresh checkpoint this often while it stops
  std::uint32_t HandlerBlocksMs = 0;            // its control handler holds the request this long, then answers 1053
  static constexpr std::uint32_t kNever = ~0u;  // ... and this long is for ever
  std::string ProgramFile;                      // its configured program; empty: its process's module path
  bool FromDll = false;
  bool ProcessStaysAfterStop = false;          // reports stopped, but its process does not end
  bool Recovers = false;                       // the service manager restarts it after an unexpected end
  std::vector<std::uint32_t> RestartDelaysMs;  // what its recovery actions say (they run only when Recovers)
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
  int ListCalls = 0;
  int ConfigReads = 0;

  FakeService& Add(const std::string& name, ProcessId pid) {
    FakeService service;
    service.Name = name;
    service.Pid = pid;
    Services.push_back(service);
    return Services.back();
  }

  std::uint32_t RunningServices(std::vector<RunningService>& services) override {
    ++ListCalls;
    if (ListError != 0) return ListError;
    services.clear();
    for (FakeService& s : Services) {
      if (IsRunning(s)) services.push_back({s.Name, s.Pid, s.Shared});
    }
    return 0;
  }
  std::uint32_t Config(const std::string& name, ServiceConfig& config) override {
    ++ConfigReads;
    FakeService* s = Find(name);
    if (s == nullptr) return kErrorServiceDoesNotExist;
    const FakeProcess* host = processes_.Find(s->Pid);
    config = {.Dependencies = s->Dependencies,
              .Group = s->Group,
              .ProgramFile = !s->ProgramFile.empty() || host == nullptr ? s->ProgramFile : host->ImagePath,
              .FromDll = s->FromDll,
              .RestartDelaysMs = s->RestartDelaysMs};
    return 0;
  }
  // The answer is ready at once, or once the control handler lets go of it.
  void RequestStop(const std::string& name) override {
    FakeService* s = Find(name);
    std::uint64_t at = clock_.Now;
    std::uint32_t error = kErrorServiceDoesNotExist;
    if (s != nullptr && s->HandlerBlocksMs != 0 && IsRunning(*s)) {
      StopRequests.push_back(name);
      at = s->HandlerBlocksMs == FakeService::kNever ? ~0ull : clock_.Now + s->HandlerBlocksMs;
      error = kErrorServiceRequestTimeout;
    } else if (s != nullptr) {
      error = Stop(s);
    }
    answers_[UpperCase(name)] = {at, error};
  }
  bool StopAnswered(const std::string& name, std::uint32_t& error) override {
    const auto answer = answers_.find(UpperCase(name));
    if (answer == answers_.end() || clock_.Now < answer->second.first) return false;
    error = answer->second.second;
    return true;
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
                progresses ? static_cast<std::uint32_t>(clock_.Now - *s->StopAskedAt) / s->ProgressEveryMs : 1,
                s->WaitHintMs};
    }
    return 0;
  }

 private:
  std::uint32_t Stop(FakeService* s) {
    StopRequests.push_back(s->Name);
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
      FakeProcess& fresh = processes_.Add(id + 1000, old.ImagePath);
      fresh.Session = old.Session;
      s.Pid = fresh.Id;
      s.Running = true;
      s.StopAskedAt.reset();
    }
  }

  FakeProcessApi& processes_;
  FakeClock& clock_;
  std::map<std::string, std::pair<std::uint64_t, std::uint32_t>> answers_;  // by name: when, and what
};

}  // namespace tarnwick::test

namespace tarnwick {

// A failed comparison of records shows their fields.
inline void PrintTo(const EndRecord& r, std::ostream* out) {
  *out << "{" << r.Image << " " << r.Id << " s" << r.Session << " '" << r.Service << "' result "
       << static_cast<int>(r.Result) << " error " << r.Error << " waited " << r.WaitedMs << " names";
  for (const std::string& name : r.Names) *out << " " << name;
  *out << " times " << r.TimesEnded << "}";
}

}  // namespace tarnwick
