// The search list's view: lstProcess showing SearchList's rows.
// Two columns, the built-in rows in their colour, and "&Edit..." and "&Delete" enabled only while
// the clicked row is one of the user's.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>

#include "searchlist/SearchList.h"

namespace tarnwick {

class SearchListView {
 public:
  explicit SearchListView(const SearchList& model) : model_(model) {}

  // Takes the list control (report view, two columns made here) and the two buttons it enables.
  void Attach(HWND list, HWND editButton, HWND deleteButton);

  // The model's row at `position` (from 1) was added, changed or removed: the view draws it so.
  void RowAdded(std::size_t position);
  void RowChanged(std::size_t position);
  void RowRemoved(std::size_t position);

  // The selected row's position; 0 when no row is selected.
  std::size_t SelectedPosition() const;
  // The item click: Edit and Delete are enabled for a user's row, disabled for a built-in one.
  void OnItemClick(std::size_t position);
  // The list's notifications (WM_NOTIFY): the rows' colours, and a newly selected row as the item click.
  LRESULT OnNotify(const NMHDR& header);

  // The first column's width in twips: `remembered` while the column still has its pixels, else
  // what the user dragged it to.
  double FirstColumnTwips(double remembered, int dpi) const;
  void SetColumnWidth(int column, double twips, int dpi);
  // The second column, at most up to the list's visible edge: reaching under the border would only
  // bring a horizontal scroll bar that shows nothing.
  void FitSecondColumn(double twips, int dpi);

 private:
  LRESULT OnCustomDraw(NMLVCUSTOMDRAW& draw) const;
  void SetItemText(std::size_t position, int subItem, const std::string& text);

  const SearchList& model_;
  HWND list_ = nullptr;
  HWND edit_ = nullptr;
  HWND delete_ = nullptr;
};

}  // namespace tarnwick
