// The pipeline's passes: one snapshot nominates, the identity check decides, plain processes are all told
// to end before any wait, service hosts go through the service manager, and -k scans again until none is
// left or the time is up.
#include "process/EndPipeline.h"

#include <algorithm>
#include <map>
#include <set>
#include <unordered_map>

#include "common/ExitCodes.h"
#include "common/Text.h"
#include "process/EndContext.h"
#include "process/Holders.h"
#include "process/Scope.h"
#include "process/ServiceStop.h"
#include "process/WindowClose.h"

namespace tarnwick {

namespace {

enum class PassKind {
  End,    // end the processes found
  List,   // -l: report them
  Final,  // -k at its limit: report those still running
};

struct Candidate {
  ProcessTag Tag{};    // the listed name, else the snapshot's
  bool Listed = true;  // false: taken by "/all" for its program file alone
};

struct Target {
  ProcessTag Tag{};
  ProcessRef Process{};
  ProcessRef Sync{};
  std::uint64_t EndedAt = 0;
  bool Terminated = false;
  ProcessHandle WaitHandle() const { return Sync ? Sync.Get() : Process.Get(); }
};

class Run {
 public:
  Run(const EndSeams& seams, const EndRequest& request)
      : context_(seams, request), api_(seams.Processes), sessions_(request.Sessions) {
    for (const std::string& name : request.Images) {
      if (!name.empty()) listed_.emplace(UpperCase(name), name);
    }
  }

  std::vector<EndRecord> Go() {
    const EndMode mode = context_.Mode();
    if (listed_.empty() && !context_.AllInScope() && !SearchesHolders()) return {};  // not even a snapshot
    if (context_.AllInScope()) LearnAncestors();
    if (mode == EndMode::ListOnly) {
      Pass(PassKind::List);
    } else if (Pass(PassKind::End) && mode == EndMode::Every) {
      // Before 0, a quiet period: a watchdog that starts a program again is seen doing so.
      std::uint64_t quietFrom = context_.Now();
      for (;;) {
        context_.Pause(context_.Limits().RescanPauseMs, context_.Deadline(), "Looking for restarted processes");
        if (context_.Now() >= context_.Deadline()) {
          Pass(PassKind::Final);
          ReportComingBack();
          break;
        }
        if (Pass(PassKind::End)) {
          quietFrom = context_.Now();
        } else if (context_.Since(quietFrom) >= context_.Limits().QuietMs) {
          break;
        }
      }
    }
    ReportOnlyOutside();
    if (SearchesHolders()) FindHolders(context_, *context_.Holders(), LeftRunning());
    return context_.TakeRecords();
  }

 private:
  // The processes that may be of a listed image, in the system's order; never Tarnwick itself, nor one
  // this run has given up on, nor one of a session the request does not cover.
  std::vector<Candidate> Nominate() {
    std::vector<Candidate> candidates;
    snapshotNames_.clear();
    const ProcessId own = api_.OwnId();
    const auto wanted = [&](ProcessId id, SessionId session) {
      return id != own && !givenUp_.contains(id) && !ancestors_.contains(id) && sessions_.Covers(session);
    };
    std::vector<SnapshotEntry> snapshot;
    (void)api_.Snapshot(snapshot);  // none when it fails: nothing to act on
    for (const SnapshotEntry& entry : snapshot) {
      snapshotNames_[entry.Id] = entry.ExeName;
      const auto listed = listed_.find(UpperCase(entry.ExeName));
      if ((listed == listed_.end() && !context_.AllInScope()) || !wanted(entry.Id, entry.Session)) continue;
      candidates.push_back({.Tag = {.Image = listed != listed_.end() ? listed->second : entry.ExeName,
                                    .Id = entry.Id,
                                    .Session = entry.Session},
                            .Listed = listed != listed_.end()});
    }
    return candidates;
  }

  void LoadServices() {
    if (servicesLoaded_) return;
    servicesLoaded_ = true;
    const std::uint32_t error = services_.Load(context_.Services());
    if (error != 0 && !servicesNotAskedTold_) {
      servicesNotAskedTold_ = true;
      context_.Emit({.Result = EndResult::ServicesNotAsked, .Error = error});
    }
  }

  void GiveUp(ProcessId id) { givenUp_.insert(id); }

  // One scan and what the kind says to do with it; true when it found a process to end. Every process of
  // an image is opened and checked before one is taken, so what is reported never depends on the order.
  bool Pass(PassKind kind) {
    servicesLoaded_ = false;
    const bool ending = kind == PassKind::End;
    const bool firstOnly = ending && context_.Mode() == EndMode::OnePerImage;
    std::set<std::string> imagesTaken;
    std::vector<Target> targets;
    for (const Candidate& candidate : Nominate()) {
      ProcessRef process(api_, ending ? kTerminateRights : kQueryRights, candidate.Tag.Id);
      if (!process) {
        const std::uint32_t error = api_.LastError();
        // Gone meanwhile, or without a name (the idle process): nothing to report.
        if (error == kErrorInvalidParameter || candidate.Tag.Image.empty()) continue;
        // "/all" answers only for what it can see lies in the folder.
        if (!candidate.Listed || OutsideScope(api_, candidate.Tag.Id, context_.Scope())) continue;
        const EndResult result = kind == PassKind::List ? EndResult::ListedNotOpened : EndResult::NotOpened;
        context_.Emit(RecordOf(candidate.Tag, {.Result = result, .Error = error}));
        GiveUp(candidate.Tag.Id);
        continue;
      }
      // The snapshot only nominates: the image path's file name decides, as for the window's list.
      const std::string identity = IdentityName(api_, process.Get());
      const auto listed = listed_.find(identity);
      if (listed == listed_.end() && !context_.AllInScope()) continue;
      if (!InScope(api_, process.Get(), context_.Scope())) {
        if (listed != listed_.end()) outside_.insert(listed->second);
        continue;
      }
      ProcessTag tag = candidate.Tag;
      if (listed != listed_.end()) tag.Image = listed->second;
      inside_ = true;
      context_.Remember(tag.Id, process.Get());
      const EndRecord found = RecordOf(tag);
      if (kind == PassKind::List) {
        LoadServices();
        EndRecord listedRecord = With(found, EndResult::Listed, services_.NamesIn(tag.Id));
        listedRecord.HasWindows = windowOwners_.Has(context_.Windows(), tag.Id);
        context_.Emit(listedRecord);
        continue;
      }
      if (kind == PassKind::Final) {
        EndRecord left = With(found, EndResult::LeftAtLimit);
        left.WaitedMs = context_.Since(context_.Started());
        context_.Emit(left);
        continue;
      }
      if (api_.IsCritical(process.Get())) {
        context_.Emit(With(found, EndResult::Critical));
        GiveUp(tag.Id);
        continue;
      }
      // One process per image: the first that can be ended; the others are left for the next Terminate.
      if (firstOnly && !imagesTaken.insert(identity).second) continue;
      targets.push_back(
          {.Tag = tag, .Process = std::move(process), .Sync = ProcessRef(api_, kSynchronizeRights, tag.Id)});
    }
    if (targets.empty()) return false;
    LoadServices();
    if (context_.WhatIf()) {
      Foresee(targets);
      return false;  // nothing ended: no scan again
    }
    const std::size_t recordsBefore = context_.Records().size();
    EndTargets(targets);
    if (context_.Tree()) {
      Adopt(targets, recordsBefore);
      EndDescendants();
    }
    CountEnds(recordsBefore);
    return true;
  }

  static EndRecord With(EndRecord record, EndResult result, std::vector<std::string> names = {}) {
    record.Result = result;
    record.Names = std::move(names);
    return record;
  }

  // Tells a plain process to end; where Windows refuses, that is recorded and the run gives up on it.
  void TellToEnd(Target& target) {
    std::uint32_t error = 0;
    if (!context_.Terminate(target.Process.Get(), target.WaitHandle(), error)) {
      context_.Emit(RecordOf(target.Tag, {.Result = EndResult::Refused, .Error = error}));
      GiveUp(target.Tag.Id);
      return;
    }
    target.Terminated = true;
    target.EndedAt = context_.Now();
  }

  // "/whatif": the records of what EndTargets would do, from the same rules.
  void Foresee(const std::vector<Target>& targets) {
    for (const Target& target : targets) {
      EndRecord record = RecordOf(target.Tag);
      const std::vector<RunningService> services = services_.In(target.Tag.Id);
      if (services.empty()) {
        record.HasWindows = windowOwners_.Has(context_.Windows(), target.Tag.Id);
        context_.Emit(With(record, EndResult::WouldEnd));
        continue;
      }
      if (!services_.IsOwnHost(context_.Services(), target.Tag.Id, api_.ImagePath(target.Process.Get()))) {
        context_.Emit(With(record, EndResult::SharedHost, services_.NamesIn(target.Tag.Id)));
        continue;
      }
      std::vector<std::string> order;
      const auto add = [&](const std::string& name) {
        if (std::find(order.begin(), order.end(), name) == order.end()) order.push_back(name);
      };
      for (const RunningService& service : services) {
        for (const RunningService& dependent : services_.DependentsInStopOrder(context_.Services(), service.Name)) {
          add(dependent.Name);
        }
        add(service.Name);
      }
      context_.Emit(With(record, EndResult::WouldEnd, order));
    }
  }

  void EndTargets(std::vector<Target>& targets) {
    // Plain processes are all told to end before any wait, so that their waits overlap; those with windows
    // are asked to close first and forced only when they stay.
    std::vector<CloseTarget> plain;
    for (std::size_t i = 0; i < targets.size(); ++i) {
      if (!services_.In(targets[i].Tag.Id).empty()) continue;
      plain.push_back({.Tag = targets[i].Tag, .Wait = targets[i].WaitHandle(), .Index = i});
    }
    WindowClose closing(context_, plain, [&](const CloseTarget& target) { TellToEnd(targets[target.Index]); });
    // Service hosts all at once: their services stop side by side, and beside the windows' close.
    std::vector<ServiceHostTarget> hosts;
    std::vector<ProcessId> hostIds;
    for (const Target& target : targets) {
      if (services_.In(target.Tag.Id).empty()) continue;
      hosts.push_back({.Tag = target.Tag,
                       .Process = target.Process.Get(),
                       .Wait = target.WaitHandle(),
                       .ProgramFile = api_.ImagePath(target.Process.Get())});
      hostIds.push_back(target.Tag.Id);
    }
    const auto imageOf = [this](ProcessId id) {
      const auto name = snapshotNames_.find(id);
      return name != snapshotNames_.end() ? name->second : std::string();
    };
    const std::size_t recordsBefore = context_.Records().size();
    ServiceHostStop stopping(context_, services_, hosts, imageOf);
    for (;;) {
      const bool closed = closing.Step();
      const bool stopped = stopping.Step();
      if (closed && stopped) break;
      std::string status = closed ? std::string() : closing.Status();
      const std::string stopStatus = stopped ? std::string() : stopping.Status();
      if (!stopStatus.empty()) status += (status.empty() ? "" : "; ") + stopStatus;
      const std::uint32_t poll = closed    ? stopping.PollMs()
                                 : stopped ? kClosePollMs
                                           : std::min(stopping.PollMs(), kClosePollMs);
      const std::uint64_t until = std::max(closed ? 0 : closing.PauseUntil(), stopped ? 0 : stopping.PauseUntil());
      context_.Pause(poll, until, status);
    }
    ReportRecovery(recordsBefore);
    const std::vector<bool> gone = stopping.Gone();
    for (std::size_t i = 0; i < gone.size(); ++i) {
      if (!gone[i]) GiveUp(hostIds[i]);
    }
    for (const Target& target : targets) {
      if (!target.Terminated) continue;
      // One forced at the deadline (its grace time may end past it) still gets a moment to go.
      const std::uint64_t until = std::min(target.EndedAt + context_.Limits().ProcessWaitMs,
                                           std::max(context_.Deadline(), target.EndedAt + EndContext::kForcedGraceMs));
      if (context_.WaitGone(target.WaitHandle(), until, "Waiting for " + target.Tag.Image + " to end")) {
        context_.Emit(closing.Ended(target.Tag));
      } else {
        context_.Emit(
            RecordOf(target.Tag, {.Result = EndResult::StillRunning, .WaitedMs = context_.Since(target.EndedAt)}));
        GiveUp(target.Tag.Id);
      }
    }
  }

  // /tree: the processes ended since `from` may have children; their handles stay open to the end of the
  // run, so that their ids cannot go to a stranger meanwhile.
  void Adopt(std::vector<Target>& targets, std::size_t from) {
    std::set<ProcessId> ended;
    const std::vector<EndRecord>& records = context_.Records();
    for (std::size_t i = from; i < records.size(); ++i) {
      if (records[i].Result == EndResult::Ended) ended.insert(records[i].Id);
    }
    for (Target& target : targets) {
      const std::uint64_t created = api_.CreationTime(target.Process.Get());
      if (!ended.contains(target.Tag.Id) || created == 0) continue;
      members_[target.Tag.Id] = {.Image = target.Tag.Image, .CreatedAt = created};
      kept_.push_back(std::move(target.Process));
    }
  }

  // The processes Tarnwick must never end: itself and the line of processes that started it.
  static std::set<ProcessId> OwnLine(const std::vector<SnapshotEntry>& snapshot, ProcessId own) {
    std::map<ProcessId, const SnapshotEntry*> byId;
    for (const SnapshotEntry& entry : snapshot) byId[entry.Id] = &entry;
    std::set<ProcessId> line{own};
    for (auto at = byId.find(own); at != byId.end();) {
      const auto parent = byId.find(at->second->Parent);
      // A parent created after its child is a stranger under a reused id: the line ends there.
      if (parent == byId.end() || parent->second->CreatedAt > at->second->CreatedAt) break;
      if (!line.insert(parent->first).second) break;
      at = parent;
    }
    return line;
  }

  // /tree: the children of the processes ended, a level at a time, each level after the one above it is
  // ended (so that a supervisor cannot start them again), until a look finds none or the time is up.
  // A process is a child only when its parent's id matches and it was created no earlier than that parent;
  // the handle opened must tell the same creation time as the snapshot, or the id went to a stranger.
  void EndDescendants() {
    while (context_.Now() < context_.Deadline()) {
      std::vector<SnapshotEntry> snapshot;
      if (!api_.Snapshot(snapshot)) return;
      const std::set<ProcessId> spared = OwnLine(snapshot, api_.OwnId());
      std::vector<Target> children;
      for (const SnapshotEntry& entry : snapshot) {
        const auto parent = members_.find(entry.Parent);
        if (parent == members_.end() || members_.contains(entry.Id) || givenUp_.contains(entry.Id)) continue;
        if (entry.CreatedAt == 0 || entry.CreatedAt < parent->second.CreatedAt) continue;
        if (spared.contains(entry.Id) || !sessions_.Covers(entry.Session)) continue;
        ProcessRef process(api_, kTerminateRights, entry.Id);
        if (!process && api_.LastError() == kErrorInvalidParameter) continue;  // gone meanwhile
        if (process && api_.CreationTime(process.Get()) != entry.CreatedAt) continue;
        context_.NoteChild(entry.Id, parent->second.Image, entry.Parent);
        if (process) context_.Remember(entry.Id, process.Get());
        const ProcessTag tag{.Image = entry.ExeName, .Id = entry.Id, .Session = entry.Session};
        if (!process || api_.IsCritical(process.Get())) {
          EndRecord record = RecordOf(tag, {.Result = process ? EndResult::Critical : EndResult::NotOpened});
          if (!process) record.Error = api_.LastError();
          context_.Emit(record);
          GiveUp(entry.Id);
          continue;
        }
        children.push_back(
            {.Tag = tag, .Process = std::move(process), .Sync = ProcessRef(api_, kSynchronizeRights, entry.Id)});
      }
      if (children.empty()) return;
      const std::size_t before = context_.Records().size();
      EndTargets(children);
      Adopt(children, before);
    }
  }

  // A service forced to end is, for the service manager, one that failed: its recovery actions may start
  // it again after the run, and the log says when.
  void ReportRecovery(std::size_t from) {
    for (std::size_t i = from; i < context_.Records().size(); ++i) {
      const EndRecord& forced = context_.Records()[i];
      ServiceConfig config;
      if (forced.Result != EndResult::ServiceForced || context_.Services().Config(forced.Service, config) != 0 ||
          config.RestartDelaysMs.empty()) {
        continue;
      }
      EndRecord record{.Image = forced.Image,
                       .Id = forced.Id,
                       .Session = forced.Session,
                       .Service = forced.Service,
                       .Result = EndResult::WillRestart};
      for (std::uint32_t ms : config.RestartDelaysMs) {
        record.Names.push_back("restart after " + std::to_string(ms / 1000) + " s");
      }
      context_.Emit(record);
    }
  }

  // -k: how often each image was ended, and in how many passes.
  void CountEnds(std::size_t from) {
    std::set<std::string> endedInPass;
    const std::vector<EndRecord>& records = context_.Records();
    for (std::size_t i = from; i < records.size(); ++i) {
      if (records[i].Result != EndResult::Ended) continue;
      const std::string image = UpperCase(records[i].Image);
      EndCount& count = ends_[image];
      ++count.Times;
      if (endedInPass.insert(image).second && ++count.Passes > 1) {
        EndRecord back = With(records[i], EndResult::CameBack);
        back.WaitedMs = context_.Since(count.LastAt);
        context_.Emit(back);
      }
      count.Last = records[i];
      count.LastAt = context_.Now();
    }
  }

  // -k at its limit: an image ended in more than one pass kept coming back, whatever the last scan saw.
  void ReportComingBack() {
    for (const auto& [image, count] : ends_) {
      if (count.Passes < 2) continue;
      EndRecord record = With(count.Last, EndResult::KeptComingBack);
      record.TimesEnded = count.Times;
      record.WaitedMs = context_.Since(context_.Started());
      context_.Emit(record);
    }
  }

  struct EndCount {
    std::uint32_t Times = 0;
    std::uint32_t Passes = 0;
    EndRecord Last{};
    std::uint64_t LastAt = 0;
  };

  bool SearchesHolders() const {
    return context_.Holders() != nullptr && !context_.Scope().empty() && context_.Mode() != EndMode::OnePerImage;
  }

  // "/all" never takes Tarnwick's starters, whatever their program file.
  void LearnAncestors() {
    std::vector<HolderProcess> processes;
    if (context_.Holders() != nullptr && context_.Holders()->Processes(processes)) {
      ancestors_ = AncestorsOf(api_.OwnId(), processes);
    }
  }

  // The listed processes the run reports and leaves: named once, not again as holders.
  std::set<ProcessId> LeftRunning() const {
    std::set<ProcessId> left;
    for (const EndRecord& record : context_.Records()) {
      if (record.Id != 0 && record.Result != EndResult::Ended) left.insert(record.Id);
    }
    return left;
  }

  // Nothing in the folder, but listed images run elsewhere: a folder given by mistake shows.
  void ReportOnlyOutside() {
    if (inside_ || outside_.empty()) return;
    context_.Emit({.Result = EndResult::OnlyOutside, .Names = {outside_.begin(), outside_.end()}});
  }

  EndContext context_;
  ProcessApi& api_;
  const SessionScope sessions_;
  std::unordered_map<std::string, std::string> listed_;  // upper-cased name -> as the list writes it
  std::set<ProcessId> givenUp_;
  std::unordered_map<ProcessId, std::string> snapshotNames_;
  std::map<std::string, EndCount> ends_;  // by upper-cased image
  ServiceHosts services_;
  WindowOwners windowOwners_;
  struct Member {
    // cppcheck-suppress unusedStructMember ; read through members_ when a child is noted
    std::string Image{};
    std::uint64_t CreatedAt = 0;
  };
  std::map<ProcessId, Member> members_;  // /tree: the processes ended whose children are ended too
  std::vector<ProcessRef> kept_;         // their handles
  bool servicesLoaded_ = false;
  bool servicesNotAskedTold_ = false;
  std::set<ProcessId> ancestors_;
  std::set<std::string> outside_;  // listed images seen running outside the folder
  bool inside_ = false;            // a process in the folder was found
};

}  // namespace

std::vector<EndRecord> EndProcesses(const EndSeams& seams, const EndRequest& request) {
  return Run(seams, request).Go();
}

int EndExitCode(EndMode mode, const std::vector<EndRecord>& records) {
  for (const EndRecord& record : records) {
    // A listed image runs; for /whatif, the run would act on it, or would have to refuse it.
    const bool listed = record.Result == EndResult::Listed || record.Result == EndResult::ListedNotOpened ||
                        record.Result == EndResult::WouldEnd || IsFailure(record);
    if (mode == EndMode::ListOnly ? listed : IsFailure(record)) return kExitNotAll;
  }
  return kExitDone;
}

}  // namespace tarnwick
