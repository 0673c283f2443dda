// The rules of the holder search: what counts as holding the folder, who never counts, and the records.
#include <algorithm>
#include <map>

#include "process/EndContext.h"
#include "process/Holders.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

// The order in which a holder's things are named: its program first, then what it loaded, mapped or opened.
constexpr HoldWay kWayOrder[] = {HoldWay::Program, HoldWay::Module, HoldWay::Mapped, HoldWay::File, HoldWay::Folder};

bool HeldIn(const std::wstring& path, const std::wstring& folder) {
  return LiesIn(path, folder) || (!path.empty() && NormalisedPath(path) == NormalisedPath(folder));
}

struct Holding {
  std::vector<HeldFile> In{};  // what lies in the folder, each path once
  void Add(const HeldFile& file, const std::wstring& folder) {
    if (!HeldIn(file.Path, folder)) return;
    const std::wstring key = NormalisedPath(file.Path);
    for (const HeldFile& known : In) {
      if (NormalisedPath(known.Path) == key) return;  // a program is also its first module
    }
    In.push_back(file);
  }
  HeldFile First() const {
    for (HoldWay way : kWayOrder) {
      for (const HeldFile& file : In) {
        if (file.Way == way) return file;
      }
    }
    return {};
  }
};

}  // namespace

std::set<ProcessId> AncestorsOf(ProcessId own, const std::vector<HolderProcess>& processes) {
  std::map<ProcessId, const HolderProcess*> byId;
  for (const HolderProcess& process : processes) byId[process.Id] = &process;
  std::set<ProcessId> ancestors;
  for (ProcessId current = own;;) {
    const auto child = byId.find(current);
    if (child == byId.end()) break;
    const HolderProcess& self = *child->second;
    const auto parent = byId.find(self.Parent);
    if (parent == byId.end() || self.Parent == current || ancestors.contains(self.Parent)) break;
    // A parent that started after its child is a later process under a reused id.
    const std::uint64_t born = parent->second->Created;
    if (born != 0 && self.Created != 0 && born > self.Created) break;
    ancestors.insert(self.Parent);
    current = self.Parent;
  }
  return ancestors;
}

void FindHolders(EndContext& context, HolderApi& api, const std::set<ProcessId>& skip) {
  const std::wstring& folder = context.Scope();
  std::vector<HolderProcess> processes;
  if (folder.empty() || !api.Processes(processes)) return;
  const ProcessId own = context.Processes().OwnId();
  const std::set<ProcessId> ancestors = AncestorsOf(own, processes);
  std::set<ProcessId> left = skip;
  left.insert(own);
  std::map<ProcessId, Holding> holdings;
  for (const HolderProcess& process : processes) {
    if (process.Id == 0 || left.contains(process.Id)) continue;
    std::vector<HeldFile> held;
    std::uint32_t error = 0;
    const Inspection inspection = api.Inspect(process.Id, held, error);
    Holding& holding = holdings[process.Id];
    for (const HeldFile& file : held) holding.Add(file, folder);
    if (inspection != Inspection::Read) {
      context.Emit({.Image = process.Image,
                    .Id = process.Id,
                    .Session = process.Session,
                    .Result = EndResult::NotInspected,
                    .Error = inspection == Inspection::Wider ? 0 : error});
    }
  }
  const std::uint64_t now = context.Now();
  const std::uint32_t budget = context.Deadline() > now ? static_cast<std::uint32_t>(context.Deadline() - now) : 0;
  const HandleScan handles = api.OpenFiles(left, budget);
  for (const OpenFile& open : handles.Files) {
    const auto holding = holdings.find(open.Id);  // a process that started since the snapshot is not named
    if (holding != holdings.end() && !left.contains(open.Id)) holding->second.Add(open.File, folder);
  }
  for (const HolderProcess& process : processes) {
    const auto holding = holdings.find(process.Id);
    if (holding == holdings.end() || holding->second.In.empty()) continue;
    const HeldFile first = holding->second.First();
    context.Emit({.Image = process.Image,
                  .Id = process.Id,
                  .Session = process.Session,
                  .Result = ancestors.contains(process.Id) ? EndResult::AncestorHolds : EndResult::Holds,
                  .Path = first.Way == HoldWay::Program ? first.Path : std::wstring(),
                  .Created = process.Created,
                  .Held = first.Way,
                  .HeldPath = first.Path,
                  .HeldCount = static_cast<std::uint32_t>(holding->second.In.size() - 1)});
  }
  if (handles.NamesGivenUp > 0) context.Emit({.Result = EndResult::NamesGivenUp, .HeldCount = handles.NamesGivenUp});
}

bool FolderHeld(const std::vector<EndRecord>& records) {
  return std::ranges::any_of(records, [](const EndRecord& record) { return record.Result == EndResult::Holds; });
}

}  // namespace tarnwick
