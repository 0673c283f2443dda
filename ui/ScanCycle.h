// The running list's model: its lines and marks, and the rules of the scan cycle.
// Refresh, Select all / Unselect all, the marks, and the effect of deleting or renaming a search
// entry. A view follows the lines through ResideListEvents and asks the model to change a mark.
#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "process/EndPipeline.h"
#include "process/FindProcess.h"
#include "searchlist/SearchList.h"

namespace tarnwick {

struct ResideLine {
  std::string Text;        // the entry's image name as the entry writes it
  std::uint32_t ItemData;  // the entry's 1-based position when the line was added
  bool Marked = false;

  bool operator==(const ResideLine&) const = default;
};

// Every change of the lines, as it happens, so that a view can follow line by line without
// reading its control back.
class ResideListEvents {
 public:
  virtual void LineAdded(std::size_t line) = 0;  // at the end
  virtual void LineRemoved(std::size_t line) = 0;
  virtual void LineChanged(std::size_t line) = 0;  // its mark or its item data

 protected:
  ~ResideListEvents() = default;
};

// The unattended run's pass: ends one running process of each image named and gives the run's exit code.
using TerminatePass = std::function<int(const std::vector<std::string>& images)>;
// The Terminate command's pass: ends one running process of each image named, calling whileWaiting
// while it waits, and gives the message to show: what could not be ended and why, empty when all ended.
using WindowTerminatePass =
    std::function<std::string(const std::vector<std::string>& images, const KeepAlive& whileWaiting)>;

// The image names of the rows, in list order (position i at index i - 1).
std::vector<std::string> RowNames(const SearchList& list);

class ScanCycle {
 public:
  const std::vector<ResideLine>& Lines() const { return lines_; }
  // The view to tell of every change; nullptr for none.
  void Watch(ResideListEvents* events) { events_ = events; }

  // One refresh, given whether each row's image runs (position i at index i - 1; missing means not).
  // A row that starts running gets a line at the end, marked in the automatic run; a row that stopped
  // loses the first line carrying its position.
  void RefreshResideList(const SearchList& list, const std::vector<bool>& running, bool autoMode);
  // One refresh with one look at the running processes for all rows: in the window, of its own session and
  // session 0 only; in the automatic run, of every session.
  void RefreshResideList(const SearchList& list, ProcessApi& processes, bool autoMode);

  // The images the terminate pass ends one process of: the marked lines' texts, in line order.
  std::vector<std::string> TerminateTargets() const;

  // Marks every line, or clears every mark (Select all / Unselect all).
  void SetAllMarks(bool marked);
  // False when there is no such line.
  bool SetMark(std::size_t line, bool marked);

  // The row at `position` was deleted: its line goes, and lines of later rows follow their rows down.
  void OnEntryDeleted(std::size_t position);
  // The row at `position` now names another image: its line goes (it would end the old image), the
  // other lines stay as they are. The next refresh adds a line if the new image runs.
  void OnEntryRenamed(std::size_t position);

 private:
  void RemoveLineOf(std::size_t position);
  void Changed(std::size_t line);

  std::vector<ResideLine> lines_;
  ResideListEvents* events_ = nullptr;
};

}  // namespace tarnwick
