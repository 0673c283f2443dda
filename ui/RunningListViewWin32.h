// The running list's view: lstResideList showing the scan cycle's lines.
// It draws what the model holds, line by line as the model tells it, and turns a tick of a check box
// into a request to the model.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include "ui/ScanCycle.h"

namespace tarnwick {

class RunningListView final : public ResideListEvents {
 public:
  explicit RunningListView(ScanCycle& model) : model_(model) {}
  ~RunningListView() { Detach(); }
  RunningListView(const RunningListView&) = delete;
  RunningListView& operator=(const RunningListView&) = delete;

  // Takes the list control (a report list view with one column) and follows the model from now on.
  void Attach(HWND list);
  void Detach();
  // The one column as wide as the list's inside.
  void FitColumn();
  // The list's notifications (WM_NOTIFY).
  LRESULT OnNotify(const NMHDR& header);

  void LineAdded(std::size_t line) override;
  void LineRemoved(std::size_t line) override;
  void LineChanged(std::size_t line) override;

 private:
  LRESULT OnItemChanging(const NMLISTVIEW& change);

  ScanCycle& model_;
  HWND list_ = nullptr;
};

}  // namespace tarnwick
