// The user's own entries: the entry dialog's three commands and the profile file.
#include "ui/frmMain.h"

#include "searchlist/SearchListFileWin32.h"
#include "searchlist/frmAddProcess.h"

namespace tarnwick {
namespace {

// The selected row of the search list as a position from 1; 0 when none is selected.
std::size_t SelectedPosition(HWND list) {
  return static_cast<std::size_t>(ListView_GetNextItem(list, -1, LVNI_SELECTED) + 1);
}

void SetItemText(HWND list, int index, int subItem, const std::string& text) {
  LVITEMA item{};
  item.iSubItem = subItem;
  item.pszText = const_cast<char*>(text.c_str());
  SendMessageA(list, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

}  // namespace

void FrmMain::LoadSearchList() {
  LoadSearchListFile(ProfilePath(), [this](const std::string& imageName, const std::string& description) {
    AddSearchEntry(imageName, description, false);
  });
}

void FrmMain::SaveSearchList() { SaveSearchListFile(ProfilePath(), searchList_); }

void FrmMain::OnAddClick() {
  FrmAddProcess& dialog = FrmAddProcess::Instance();
  dialog.Show(hwnd_);
  // The window may have been unloaded while the dialog was open (the session ended).
  if (hwnd_ == nullptr || dialog.Cancel()) return;
  AddSearchEntry(dialog.ProcessName(), dialog.Description(), false);
}

void FrmMain::OnEditClick() {
  HWND list = Control(IDC_LSTPROCESS);
  const std::size_t position = SelectedPosition(list);
  if (position < 1 || position > searchList_.Count()) return;
  FrmAddProcess& dialog = FrmAddProcess::Instance();
  dialog.ProcessName(searchList_.Row(position).ImageName);
  dialog.Description(searchList_.Row(position).Description);
  dialog.Show(hwnd_);
  if (hwnd_ == nullptr || dialog.Cancel()) return;
  switch (searchList_.EditSearchEntry(position, dialog.ProcessName(), dialog.Description())) {
    case EditOutcome::Duplicate:
      ShowDuplicateMessage();
      return;
    case EditOutcome::NewImage:
      // The line would otherwise end the old image, which is no longer listed.
      OnSearchEntryRenamed(position);
      break;
    case EditOutcome::SameImage:
      break;
  }
  const SearchEntry& row = searchList_.Row(position);
  const int index = static_cast<int>(position - 1);
  SetItemText(list, index, 0, row.ImageName);
  SetItemText(list, index, 1, row.Description);
}

void FrmMain::OnDeleteClick() {
  HWND list = Control(IDC_LSTPROCESS);
  const std::size_t position = SelectedPosition(list);
  if (position < 1 || position > searchList_.Count()) return;
  searchList_.Remove(position);
  ListView_DeleteItem(list, static_cast<int>(position - 1));
  OnSearchEntryDeleted(position);
}

}  // namespace tarnwick
