// The scan cycle's rules over the running list's lines, which alone tell which rows have one.
#include "ui/ScanCycle.h"

#include <algorithm>

namespace tarnwick {

std::vector<std::string> RowNames(const SearchList& list) {
  std::vector<std::string> names;
  names.reserve(list.Count());
  for (std::size_t i = 1; i <= list.Count(); ++i) names.push_back(list.Row(i).ImageName);
  return names;
}

void ScanCycle::RefreshResideList(const SearchList& list, const std::vector<bool>& running, bool autoMode) {
  const std::size_t count = list.Count();
  // Which rows have a line, once per refresh: the lines alone know it.
  std::vector<bool> hasLine(count + 1, false);
  for (const ResideLine& line : lines_) {
    if (line.ItemData <= count) hasLine[line.ItemData] = true;
  }
  for (std::size_t i = 1; i <= count; ++i) {
    const bool runs = i <= running.size() && running[i - 1];
    if (runs && !hasLine[i]) {
      lines_.push_back({list.Row(i).ImageName, static_cast<std::uint32_t>(i), autoMode});
      if (events_ != nullptr) events_->LineAdded(lines_.size() - 1);
    } else if (!runs && hasLine[i]) {
      RemoveLineOf(i);
    }
  }
}

void ScanCycle::RefreshResideList(const SearchList& list, ProcessApi& processes, bool autoMode) {
  // The window shows what its Terminate may end: its own session's processes and the services'. The
  // unattended run covers every session.
  const SessionScope sessions =
      autoMode ? SessionScope::All() : SessionScope::WindowOf(processes.SessionOf(processes.OwnId()));
  RefreshResideList(list, FindRunningImages(processes, RowNames(list), sessions), autoMode);
}

std::vector<std::string> ScanCycle::TerminateTargets() const {
  std::vector<std::string> targets;
  for (const ResideLine& line : lines_) {
    if (line.Marked) targets.push_back(line.Text);
  }
  return targets;
}

void ScanCycle::SetAllMarks(bool marked) {
  for (std::size_t line = 0; line < lines_.size(); ++line) SetMark(line, marked);
}

bool ScanCycle::SetMark(std::size_t line, bool marked) {
  if (line >= lines_.size()) return false;
  if (lines_[line].Marked != marked) {
    lines_[line].Marked = marked;
    Changed(line);
  }
  return true;
}

void ScanCycle::OnEntryDeleted(std::size_t position) {
  RemoveLineOf(position);
  for (std::size_t line = 0; line < lines_.size(); ++line) {
    if (lines_[line].ItemData > position) {
      --lines_[line].ItemData;
      Changed(line);
    }
  }
}

void ScanCycle::OnEntryRenamed(std::size_t position) { RemoveLineOf(position); }

void ScanCycle::RemoveLineOf(std::size_t position) {
  const auto line =
      std::find_if(lines_.begin(), lines_.end(), [position](const ResideLine& l) { return l.ItemData == position; });
  if (line == lines_.end()) return;
  const auto index = static_cast<std::size_t>(line - lines_.begin());
  lines_.erase(line);
  if (events_ != nullptr) events_->LineRemoved(index);
}

void ScanCycle::Changed(std::size_t line) {
  if (events_ != nullptr) events_->LineChanged(line);
}

}  // namespace tarnwick
