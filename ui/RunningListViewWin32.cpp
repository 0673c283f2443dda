// lstResideList over the scan cycle's lines: events in, items out; check boxes ask the model.
#include "ui/RunningListViewWin32.h"

#include <string>

#include "common/WideTextWin32.h"

namespace tarnwick {
namespace {

UINT CheckState(bool marked) { return INDEXTOSTATEIMAGEMASK(marked ? 2 : 1); }

}  // namespace

void RunningListView::Attach(HWND list) {
  list_ = list;
  ListView_SetExtendedListViewStyle(list_, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.pszText = const_cast<wchar_t*>(L"");
  SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  model_.Watch(this);
  for (std::size_t line = 0; line < model_.Lines().size(); ++line) LineAdded(line);
}

void RunningListView::Detach() {
  if (list_ == nullptr) return;
  model_.Watch(nullptr);
  list_ = nullptr;
}

void RunningListView::FitColumn() {
  RECT inside{};
  GetClientRect(list_, &inside);
  ListView_SetColumnWidth(list_, 0, inside.right);
}

void RunningListView::LineAdded(std::size_t line) {
  const ResideLine& added = model_.Lines()[line];
  std::wstring text = WideFromUtf8(added.Text);
  LVITEMW item{};
  item.mask = LVIF_TEXT | LVIF_PARAM;
  item.iItem = static_cast<int>(line);
  item.pszText = text.data();
  item.lParam = static_cast<LPARAM>(added.ItemData);
  const auto index = SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  if (index >= 0) ListView_SetItemState(list_, static_cast<int>(index), CheckState(added.Marked), LVIS_STATEIMAGEMASK);
}

void RunningListView::LineRemoved(std::size_t line) { ListView_DeleteItem(list_, static_cast<int>(line)); }

void RunningListView::LineChanged(std::size_t line) {
  const ResideLine& changed = model_.Lines()[line];
  LVITEMW item{};
  item.mask = LVIF_PARAM;
  item.iItem = static_cast<int>(line);
  item.lParam = static_cast<LPARAM>(changed.ItemData);
  SendMessageW(list_, LVM_SETITEMW, 0, reinterpret_cast<LPARAM>(&item));
  ListView_SetItemState(list_, static_cast<int>(line), CheckState(changed.Marked), LVIS_STATEIMAGEMASK);
}

LRESULT RunningListView::OnNotify(const NMHDR& header) {
  if (header.code == LVN_ITEMCHANGING) return OnItemChanging(reinterpret_cast<const NMLISTVIEW&>(header));
  return 0;
}

// A check box is about to change: by the mouse, the space bar, another program, or the view itself
// drawing the model. The model decides; the control only ever shows the model's marks.
LRESULT RunningListView::OnItemChanging(const NMLISTVIEW& change) {
  if (!(change.uChanged & LVIF_STATE) || ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) == 0) {
    return FALSE;  // selection and focus are the control's own
  }
  const bool wanted = (change.uNewState & LVIS_STATEIMAGEMASK) == CheckState(true);
  if (change.iItem < 0) {
    model_.SetAllMarks(wanted);  // every item at once
    return TRUE;
  }
  const auto line = static_cast<std::size_t>(change.iItem);
  // The control is being brought to what the model holds: let it.
  if (line < model_.Lines().size() && model_.Lines()[line].Marked == wanted) return FALSE;
  // A request: the model takes it and tells the view, which then draws the mark itself.
  model_.SetMark(line, wanted);
  return TRUE;
}

}  // namespace tarnwick
