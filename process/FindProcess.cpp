// The process scan: the one snapshot of every tick, confirmed by the identity of each candidate.
#include "process/FindProcess.h"

#include <unordered_map>

#include "common/Text.h"

namespace tarnwick {
namespace {

std::string_view FileNamePart(std::string_view path) {
  const std::size_t slash = path.rfind('\\');
  return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

}  // namespace

std::string IdentityName(ProcessApi& api, ProcessHandle process) {
  return UpperCase(FileNamePart(api.ImagePath(process)));
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
  // Nothing to look for: not even the snapshot is taken.
  if (!answers.empty() && api.Snapshot(snapshot)) {
    const ProcessId own = api.OwnId();
    for (const SnapshotEntry& entry : snapshot) {
      if (entry.Id == own || !sessions.Covers(entry.Session)) continue;
      const auto candidate = answers.find(UpperCase(entry.ExeName));
      if (candidate == answers.end() || candidate->second) continue;
      // The snapshot only nominates; the identity check decides, as when processes are ended.
      ProcessRef process(api, kQueryRights, entry.Id);
      if (process.Get() == nullptr) continue;
      const auto confirmed = answers.find(IdentityName(api, process.Get()));
      if (confirmed != answers.end()) confirmed->second = true;
    }
  }

  std::vector<bool> running(imageNames.size(), false);
  for (std::size_t i = 0; i < upper.size(); ++i) {
    const auto answer = answers.find(upper[i]);
    running[i] = answer != answers.end() && answer->second;
  }
  return running;
}

}  // namespace tarnwick
