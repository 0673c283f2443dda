// What the steps of one run share: the seams, the limits, the run's deadline, the waiting callback and
// the records made so far. Used by the pipeline and the service stop; nothing outside process/ needs it.
#pragma once
#include <algorithm>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

#include "process/EndPipeline.h"

namespace tarnwick {

class EndContext {
 public:
  EndContext(const EndSeams& seams, const EndRequest& request);

  ProcessApi& Processes() const { return seams_.Processes; }
  ServiceApi& Services() const { return seams_.Services; }
  WindowApi* Windows() const { return seams_.Windows; }
  HolderApi* Holders() const { return seams_.Holders; }
  bool AllInScope() const { return request_.AllInScope && !request_.Scope.empty(); }
  const std::wstring& Scope() const { return request_.Scope; }
  const EndLimits& Limits() const { return request_.Limits; }
  EndMode Mode() const { return request_.Mode; }
  bool Tree() const { return request_.Tree; }
  bool WhatIf() const { return request_.WhatIf; }

  std::uint64_t Now() const { return seams_.Time.NowMs(); }
  std::uint64_t Started() const { return started_; }
  std::uint64_t Deadline() const { return deadline_; }
  // `ms` from now, but never past the run's deadline.
  std::uint64_t Until(std::uint32_t ms) const { return std::min(Now() + ms, deadline_); }
  // For the end of a process just forced: `ms` from now, and past the deadline by at most kForcedGraceMs,
  // so that a process forced as the time runs out is not taken for one that stays.
  std::uint64_t UntilForcedGone(std::uint32_t ms) const {
    return std::min(Now() + ms, std::max(deadline_, Now() + kForcedGraceMs));
  }
  static constexpr std::uint32_t kForcedGraceMs = 1000;
  std::uint32_t Since(std::uint64_t start) const { return static_cast<std::uint32_t>(Now() - start); }

  // Tells the process to end; true when it was told, or had ended already (Windows then refuses the call).
  // On false, `error` says why.
  bool Terminate(ProcessHandle process, ProcessHandle wait, std::uint32_t& error);
  // Waits for the process to end until the moment `until`; true once it has ended.
  bool WaitGone(ProcessHandle process, std::uint64_t until, const std::string& status);
  // Lets `ms` pass, never beyond `until`, in slices short enough for the keep-alive callback.
  void Pause(std::uint32_t ms, std::uint64_t until, const std::string& status);

  // Notes the program file and start of an opened process: every later record of it carries them, even
  // once the process has gone.
  void Remember(ProcessId id, ProcessHandle process);
  void Emit(EndRecord record);
  // /tree: every record of process `id` from now on says whose child it is.
  void NoteChild(ProcessId id, const std::string& parentImage, ProcessId parentId) {
    parents_[id] = {parentImage, parentId};
  }
  const std::vector<EndRecord>& Records() const { return records_; }
  std::vector<EndRecord> TakeRecords() { return std::move(records_); }

 private:
  std::uint32_t Slice(std::uint64_t until) const;

  const EndSeams& seams_;
  const EndRequest& request_;
  std::uint64_t started_;
  std::uint64_t deadline_;
  std::vector<EndRecord> records_;
  std::map<ProcessId, std::pair<std::string, ProcessId>> parents_;
  struct Known {
    std::wstring Path;
    std::uint64_t Created = 0;
  };
  std::map<ProcessId, Known> known_;
};

}  // namespace tarnwick
