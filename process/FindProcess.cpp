// The process scan: the per-name search used by Terminate, and the one-snapshot scan used by every tick.
#include "process/FindProcess.h"

#include <algorithm>
#include <unordered_map>

#include "common/Text.h"

namespace tarnwick {
namespace {

constexpr std::uint32_t kFirstIdCount = 256;
// Far beyond any real process count; only a broken enumeration that always fills the buffer gets here.
constexpr std::uint32_t kMaxIdCount = 1u << 20;

std::string_view FileNamePart(std::string_view path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The fallback when no snapshot comes: one enumeration, each process opened once for all names.
void MarkRunningByEnumeration(ProcessApi& api, std::unordered_map<std::string, bool>& answers,
                              const SessionScope& sessions) {
  std::vector<ProcessId> ids;
  if (!EnumerateAllIds(api, ids)) return;
  const ProcessId own = api.OwnId();
  for (ProcessId id : ids) {
    if (id == own || !sessions.Covers(api.SessionOf(id))) continue;
    ProcessRef process(api, kQueryRights, id);
    if (process.Get() == nullptr) continue;
    const auto answer = answers.find(IdentityName(api, process.Get()));
    if (answer != answers.end()) answer->second = true;
  }
}

}  // namespace

bool EnumerateAllIds(ProcessApi& api, std::vector<ProcessId>& ids) {
  std::uint32_t count = kFirstIdCount;
  for (;;) {
    ids.assign(count, 0);
    std::uint32_t bytes = 0;
    const std::uint32_t bufferBytes = count * sizeof(ProcessId);
    if (!api.EnumerateIds(ids.data(), bufferBytes, bytes)) {
      ids.clear();
      return false;
    }
    // A filled buffer may have cut the list short: ask again with twice the room.
    if (bytes < bufferBytes || count >= kMaxIdCount) {
      ids.resize(std::min(bytes, bufferBytes) / sizeof(ProcessId));
      return true;
    }
    count *= 2;
  }
}

std::string IdentityName(ProcessApi& api, ProcessHandle process) {
  // The module list lives in the process's own memory, where it can rename itself; the image path cannot.
  std::string path = api.ImagePath(process);
  if (path.empty()) path = api.MainModuleName(process);
  return UpperCase(FileNamePart(path));
}

bool FindProcess(ProcessApi& api, std::string_view imageName, bool terminate) {
  const std::string target = UpperCase(imageName);
  // An unreadable process name is empty too: an empty target would pick an arbitrary process.
  if (target.empty()) return false;
  std::vector<ProcessId> ids;
  if (!EnumerateAllIds(api, ids)) return false;
  const ProcessId ownId = api.OwnId();
  for (ProcessId id : ids) {
    if (terminate && id == ownId) continue;
    ProcessRef process(api, terminate ? kTerminateRights : kQueryRights, id);
    if (process.Get() == nullptr) continue;
    if (IdentityName(api, process.Get()) != target) continue;
    if (!terminate) return true;
    // Ending a critical process stops the whole machine: leave it, as if it could not be opened.
    if (api.IsCritical(process.Get())) continue;
    api.Terminate(process.Get(), 0);
    return false;
  }
  return false;
}

std::vector<bool> FindRunningImages(ProcessApi& api, const std::vector<std::string>& imageNames,
                                    const SessionScope& sessions) {
  // Rows with the same upper-cased name share one answer; a bool per distinct name.
  std::vector<std::string> upper;
  upper.reserve(imageNames.size());
  for (const std::string& name : imageNames) upper.push_back(UpperCase(name));
  std::unordered_map<std::string, bool> answers;
  for (const std::string& name : upper) {
    if (!name.empty()) answers.emplace(name, false);
  }
  std::vector<SnapshotEntry> snapshot;
  if (answers.empty()) {
    // Nothing to look for: not even the snapshot is taken.
  } else if (api.Snapshot(snapshot)) {
    const ProcessId own = api.OwnId();
    for (const SnapshotEntry& entry : snapshot) {
      if (entry.Id == own || !sessions.Covers(entry.Session)) continue;
      const auto candidate = answers.find(UpperCase(entry.ExeName));
      if (candidate == answers.end() || candidate->second) continue;
      // The snapshot only nominates; the same identity check as FindProcess decides.
      ProcessRef process(api, kQueryRights, entry.Id);
      if (process.Get() == nullptr) continue;
      const auto confirmed = answers.find(IdentityName(api, process.Get()));
      if (confirmed != answers.end()) confirmed->second = true;
    }
  } else {
    MarkRunningByEnumeration(api, answers, sessions);
  }

  std::vector<bool> running(imageNames.size(), false);
  for (std::size_t i = 0; i < upper.size(); ++i) {
    const auto answer = answers.find(upper[i]);
    running[i] = answer != answers.end() && answer->second;
  }
  return running;
}

}  // namespace tarnwick
