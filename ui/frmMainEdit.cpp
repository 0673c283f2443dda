// The user's own entries: the entry dialog's three commands and the profile file. The rules are
// SearchList's and ScanCycle's; the views draw what they then hold.
#include "ui/frmMain.h"

#include "searchlist/SearchListFileWin32.h"
#include "searchlist/frmAddProcess.h"

namespace tarnwick {

void FrmMain::LoadSearchList() {
  LoadSearchListFile(setup_.profilePath, [this](const std::string& imageName, const std::string& description) {
    AddSearchEntry(imageName, description, false);
  });
}

void FrmMain::SaveSearchList() { SaveSearchListFile(setup_.profilePath, searchList_); }

void FrmMain::OnAddClick() {
  FrmAddProcess& dialog = FrmAddProcess::Instance();
  dialog.Show(hwnd_);
  // The window may have been unloaded while the dialog was open (the session ended).
  if (hwnd_ == nullptr || dialog.Cancel()) return;
  AddSearchEntry(dialog.ProcessName(), dialog.Description(), false);
}

void FrmMain::OnEditClick() {
  const std::size_t position = searchView_.SelectedPosition();
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
      scan_.OnEntryRenamed(position);
      break;
    case EditOutcome::SameImage:
      break;
  }
  searchView_.RowChanged(position);
}

void FrmMain::OnDeleteClick() {
  const std::size_t position = searchView_.SelectedPosition();
  if (position < 1 || position > searchList_.Count()) return;
  searchList_.Remove(position);
  searchView_.RowRemoved(position);
  scan_.OnEntryDeleted(position);
}

}  // namespace tarnwick
