// The steps' shared parts: the run's clock and deadline, telling a process to end, the waits in slices
// short enough for the window's keep-alive, and the records.
#include "process/EndContext.h"

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

void EndContext::Remember(ProcessId id, ProcessHandle process) {
  if (known_.contains(id)) return;
  known_[id] = {.Path = seams_.Processes.FullImagePath(process), .Created = seams_.Processes.CreationTime(process)};
}

void EndContext::Emit(EndRecord record) {
  record.Scope = request_.Scope;
  const auto parent = parents_.find(record.Id);
  if (parent != parents_.end() && record.Id != 0) {
    record.ChildOf = parent->second.first;
    record.ChildOfId = parent->second.second;
  }
  if (const auto known = known_.find(record.Id); known != known_.end() && record.Path.empty()) {
    record.Path = known->second.Path;
    record.Created = known->second.Created;
  }
  records_.push_back(std::move(record));
  if (request_.OnRecord) request_.OnRecord(records_.back());
}

}  // namespace tarnwick
