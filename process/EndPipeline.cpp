// The pipeline's passes: one snapshot nominates, the identity check decides, plain processes are all told
// to end before any wait, service hosts go through the service manager, and -k scans again until none is
// left or the time is up.
#include "process/EndPipeline.h"

#include <set>
#include <unordered_map>

#include "common/Text.h"
#include "process/EndContext.h"
#include "process/Scope.h"
#include "process/ServiceStop.h"
#include "process/WindowClose.h"

namespace tarnwick {

EndContext::EndContext(const EndSeams& seams, const EndRequest& request)
    : seams_(seams), request_(request), started_(seams.Time.NowMs()), deadline_(started_ + request.Limits.RunMs) {}

std::uint32_t EndContext::Slice(std::uint64_t until) const {
  const std::uint64_t now = Now();
  const std::uint64_t left = until > now ? until - now : 0;
  // Without a window to keep alive one wait can take the whole time.
  return static_cast<std::uint32_t>(request_.WhileWaiting ? std::min<std::uint64_t>(left, kKeepAliveMs) : left);
}

bool EndContext::Terminate(ProcessHandle process, ProcessHandle wait, std::uint32_t& error) {
  if (seams_.Processes.Terminate(process, 0)) return true;
  error = seams_.Processes.LastError();
  return seams_.Processes.WaitForExit(wait, 0);
}

bool EndContext::WaitGone(ProcessHandle process, std::uint64_t until, const std::string& status) {
  for (;;) {
    if (request_.WhileWaiting) request_.WhileWaiting(status);
    if (seams_.Processes.WaitForExit(process, Slice(until))) return true;
    if (Now() >= until) return false;
  }
}

void EndContext::Pause(std::uint32_t ms, std::uint64_t until, const std::string& status) {
  const std::uint64_t end = std::min(Now() + ms, until);
  while (Now() < end) {
    if (request_.WhileWaiting) request_.WhileWaiting(status);
    seams_.Time.Sleep(Slice(end));
  }
}

void EndContext::Emit(EndRecord record) {
  record.Scope = request_.Scope;
  records_.push_back(std::move(record));
  if (request_.OnRecord) request_.OnRecord(records_.back());
}

namespace {

enum class PassKind {
  End,    // end the processes found
  List,   // -l: report them
  Final,  // -k at its limit: report those still running
};

struct Candidate {
  std::string Image;  // the listed name; empty when no snapshot came and only the identity check can tell
  ProcessId Id = 0;
};

struct Target {
  std::string Image;
  ProcessId Id = 0;
  ProcessRef Process;
  ProcessRef Sync;
  std::uint64_t EndedAt = 0;
  bool Terminated = false;
  ProcessHandle WaitHandle() const { return Sync ? Sync.Get() : Process.Get(); }
};

class Run {
 public:
  Run(const EndSeams& seams, const EndRequest& request) : context_(seams, request), api_(seams.Processes) {
    for (const std::string& name : request.Images) {
      if (!name.empty()) listed_.emplace(UpperCase(name), name);
    }
  }

  std::vector<EndRecord> Go() {
    if (listed_.empty()) return {};  // nothing to look for: not even a snapshot
    const EndMode mode = context_.Mode();
    if (mode == EndMode::ListOnly) {
      Pass(PassKind::List);
    } else if (Pass(PassKind::End) && mode == EndMode::Every) {
      for (;;) {
        context_.Pause(context_.Limits().RescanPauseMs, context_.Deadline(), "Looking for restarted processes");
        if (context_.Now() >= context_.Deadline()) {
          Pass(PassKind::Final);
          break;
        }
        if (!Pass(PassKind::End)) break;
      }
    }
    return context_.TakeRecords();
  }

 private:
  // The processes that may be of a listed image, in the system's order; never Tarnwick itself, nor one
  // this run has given up on.
  std::vector<Candidate> Nominate() {
    std::vector<Candidate> candidates;
    snapshotNames_.clear();
    const ProcessId own = api_.OwnId();
    std::vector<SnapshotEntry> snapshot;
    if (api_.Snapshot(snapshot)) {
      for (const SnapshotEntry& entry : snapshot) {
        snapshotNames_[entry.Id] = entry.ExeName;
        const auto listed = listed_.find(UpperCase(entry.ExeName));
        if (listed == listed_.end() || entry.Id == own || givenUp_.contains(entry.Id)) continue;
        candidates.push_back({listed->second, entry.Id});
      }
    } else {
      std::vector<ProcessId> ids;
      EnumerateAllIds(api_, ids);
      for (ProcessId id : ids) {
        if (id != own && !givenUp_.contains(id)) candidates.push_back({"", id});
      }
    }
    return candidates;
  }

  void LoadServices() {
    if (servicesLoaded_) return;
    servicesLoaded_ = true;
    const std::uint32_t error = services_.Load(context_.Services());
    if (error != 0 && !servicesNotAskedTold_) {
      servicesNotAskedTold_ = true;
      context_.Emit({"", 0, "", EndResult::ServicesNotAsked, error, 0, {}});
    }
  }

  void GiveUp(ProcessId id) { givenUp_.insert(id); }

  // One scan and what the kind says to do with it; true when it found a process to end.
  bool Pass(PassKind kind) {
    servicesLoaded_ = false;
    const bool ending = kind == PassKind::End;
    std::set<std::string> imagesTaken;
    std::vector<Target> targets;
    for (const Candidate& candidate : Nominate()) {
      const std::string nominated = UpperCase(candidate.Image);
      const bool firstOnly = ending && context_.Mode() == EndMode::OnePerImage;
      if (firstOnly && imagesTaken.contains(nominated)) continue;
      ProcessRef process(api_, ending ? kTerminateRights : kQueryRights, candidate.Id);
      if (!process) {
        const std::uint32_t error = api_.LastError();
        // Gone meanwhile, or unknown by name: nothing to report.
        if (error == kErrorInvalidParameter || candidate.Image.empty()) continue;
        if (OutsideScope(api_, candidate.Id, context_.Scope())) continue;
        const EndResult result = kind == PassKind::List ? EndResult::ListedNotOpened : EndResult::NotOpened;
        context_.Emit({candidate.Image, candidate.Id, "", result, error, 0, {}});
        GiveUp(candidate.Id);
        continue;
      }
      // The snapshot only nominates: the main module's file name decides, as for the window's list.
      const std::string identity = IdentityName(api_, process.Get());
      const auto listed = listed_.find(identity);
      if (listed == listed_.end()) continue;
      if (!InScope(api_, process.Get(), context_.Scope())) continue;
      if (firstOnly && imagesTaken.contains(identity)) continue;
      if (kind == PassKind::List) {
        LoadServices();
        context_.Emit({.Image = listed->second,
                       .Id = candidate.Id,
                       .Result = EndResult::Listed,
                       .Names = services_.NamesIn(candidate.Id),
                       .HasWindows = windowOwners_.Has(context_.Windows(), candidate.Id)});
        continue;
      }
      if (kind == PassKind::Final) {
        context_.Emit(
            {listed->second, candidate.Id, "", EndResult::LeftAtLimit, 0, context_.Since(context_.Started()), {}});
        continue;
      }
      if (api_.IsCritical(process.Get())) {
        context_.Emit({listed->second, candidate.Id, "", EndResult::Critical, 0, 0, {}});
        GiveUp(candidate.Id);
        continue;
      }
      imagesTaken.insert(identity);
      targets.push_back(
          {listed->second, candidate.Id, std::move(process), ProcessRef(api_, kSynchronizeRights, candidate.Id)});
    }
    if (targets.empty()) return false;
    LoadServices();
    EndTargets(targets);
    return true;
  }

  // Tells a plain process to end; where Windows refuses, that is recorded and the run gives up on it.
  void TellToEnd(Target& target) {
    std::uint32_t error = 0;
    if (!context_.Terminate(target.Process.Get(), target.WaitHandle(), error)) {
      context_.Emit({target.Image, target.Id, "", EndResult::Refused, error, 0, {}});
      GiveUp(target.Id);
      return;
    }
    target.Terminated = true;
    target.EndedAt = context_.Now();
  }

  void EndTargets(std::vector<Target>& targets) {
    // Plain processes are all told to end before any wait, so that their waits overlap; those with windows
    // are asked to close first and forced only when they stay.
    std::vector<CloseTarget> plain;
    for (std::size_t i = 0; i < targets.size(); ++i) {
      if (services_.In(targets[i].Id).empty())
        plain.push_back({targets[i].Image, targets[i].Id, targets[i].WaitHandle(), i});
    }
    const WindowClose closing =
        WindowClose::End(context_, plain, [&](const CloseTarget& target) { TellToEnd(targets[target.Index]); });
    std::set<std::string> stoppedInPass;
    const auto imageOf = [this](ProcessId id) {
      const auto name = snapshotNames_.find(id);
      return name != snapshotNames_.end() ? name->second : std::string();
    };
    for (const Target& target : targets) {
      if (services_.In(target.Id).empty()) continue;
      const ServiceHostTarget host{target.Image, target.Id, target.Process.Get(), target.WaitHandle()};
      if (!EndServiceHost(context_, services_, host, stoppedInPass, imageOf)) GiveUp(target.Id);
    }
    for (const Target& target : targets) {
      if (!target.Terminated) continue;
      const std::uint64_t until = std::min(target.EndedAt + context_.Limits().ProcessWaitMs, context_.Deadline());
      if (context_.WaitGone(target.WaitHandle(), until, "Waiting for " + target.Image + " to end")) {
        context_.Emit(closing.Ended(target.Image, target.Id));
      } else {
        context_.Emit({target.Image, target.Id, "", EndResult::StillRunning, 0, context_.Since(target.EndedAt), {}});
        GiveUp(target.Id);
      }
    }
  }

  EndContext context_;
  ProcessApi& api_;
  std::unordered_map<std::string, std::string> listed_;  // upper-cased name -> as the list writes it
  std::set<ProcessId> givenUp_;
  std::unordered_map<ProcessId, std::string> snapshotNames_;
  ServiceHosts services_;
  WindowOwners windowOwners_;
  bool servicesLoaded_ = false;
  bool servicesNotAskedTold_ = false;
};

}  // namespace

std::vector<EndRecord> EndProcesses(const EndSeams& seams, const EndRequest& request) {
  return Run(seams, request).Go();
}

int EndExitCode(EndMode mode, const std::vector<EndRecord>& records) {
  for (const EndRecord& record : records) {
    const bool listed = record.Result == EndResult::Listed || record.Result == EndResult::ListedNotOpened;
    if (mode == EndMode::ListOnly ? listed : IsFailure(record)) return 1;
  }
  return 0;
}

}  // namespace tarnwick
