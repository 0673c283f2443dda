// lstProcess over SearchList: rows in, items out; the view colours the built-in rows.
#include "searchlist/SearchListViewWin32.h"

#include <algorithm>
#include <string>

#include "common/Twips.h"
#include "common/WideTextWin32.h"

namespace tarnwick {

void SearchListView::Attach(HWND list, HWND editButton, HWND deleteButton) {
  list_ = list;
  edit_ = editButton;
  delete_ = deleteButton;
  ListView_SetExtendedListViewStyle(list_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  LVCOLUMNW column{};
  column.mask = LVCF_TEXT;
  column.pszText = const_cast<wchar_t*>(L"Image Name");
  SendMessageW(list_, LVM_INSERTCOLUMNW, 0, reinterpret_cast<LPARAM>(&column));
  column.pszText = const_cast<wchar_t*>(L"Description");
  SendMessageW(list_, LVM_INSERTCOLUMNW, 1, reinterpret_cast<LPARAM>(&column));
}

void SearchListView::RowAdded(std::size_t position) {
  const SearchEntry& entry = model_.Row(position);
  std::wstring name = WideFromUtf8(entry.ImageName);
  LVITEMW item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(position - 1);
  item.pszText = name.data();
  SendMessageW(list_, LVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&item));
  SetItemText(position, 1, entry.Description);
}

void SearchListView::RowChanged(std::size_t position) {
  const SearchEntry& entry = model_.Row(position);
  SetItemText(position, 0, entry.ImageName);
  SetItemText(position, 1, entry.Description);
}

void SearchListView::RowRemoved(std::size_t position) { ListView_DeleteItem(list_, static_cast<int>(position - 1)); }

void SearchListView::SetItemText(std::size_t position, int subItem, const std::string& text) {
  std::wstring wide = WideFromUtf8(text);
  LVITEMW item{};
  item.iSubItem = subItem;
  item.pszText = wide.data();
  SendMessageW(list_, LVM_SETITEMTEXTW, position - 1, reinterpret_cast<LPARAM>(&item));
}

std::size_t SearchListView::SelectedPosition() const {
  return static_cast<std::size_t>(ListView_GetNextItem(list_, -1, LVNI_SELECTED) + 1);
}

void SearchListView::OnItemClick(std::size_t position) {
  if (position < 1 || position > model_.Count()) return;
  const bool builtIn = model_.Row(position).BuiltIn;
  EnableWindow(edit_, !builtIn);
  EnableWindow(delete_, !builtIn);
}

LRESULT SearchListView::OnNotify(const NMHDR& header) {
  if (header.code == NM_CUSTOMDRAW) {
    return OnCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
  }
  if (header.code == LVN_ITEMCHANGED) {
    const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
    // A row becoming selected, by mouse or keyboard, is the item click.
    if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED)) {
      OnItemClick(static_cast<std::size_t>(change.iItem) + 1);
    }
  }
  return 0;
}

LRESULT SearchListView::OnCustomDraw(NMLVCUSTOMDRAW& draw) const {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const std::size_t position = static_cast<std::size_t>(draw.nmcd.dwItemSpec) + 1;
      // The built-in entries are blue; the user's have the list's own colour.
      if (position <= model_.Count() && model_.Row(position).BuiltIn) draw.clrText = RGB(0, 0, 0xFF);
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

double SearchListView::FirstColumnTwips(double remembered, int dpi) const {
  const int pixels = ListView_GetColumnWidth(list_, 0);
  return pixels == TwipsToPixels(remembered, dpi) ? remembered : PixelsToTwips(pixels, dpi);
}

void SearchListView::SetColumnWidth(int column, double twips, int dpi) {
  ListView_SetColumnWidth(list_, column, TwipsToPixels(twips, dpi));
}

void SearchListView::FitSecondColumn(double twips, int dpi) {
  RECT inside{};
  GetClientRect(list_, &inside);
  const int room = inside.right - ListView_GetColumnWidth(list_, 0);
  ListView_SetColumnWidth(list_, 1, std::max(0, std::min(TwipsToPixels(twips, dpi), room)));
}

}  // namespace tarnwick
