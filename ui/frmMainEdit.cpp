// The user's own entries: the entry dialog's three commands and the profile file. The rules are
// SearchList's and ScanCycle's; the views draw what they then hold.
#include "ui/frmMain.h"

#include <utility>

#include "common/AppMessageWin32.h"
#include "common/WideTextWin32.h"
#include "searchlist/SearchListFileWin32.h"
#include "searchlist/frmAddProcess.h"

namespace tarnwick {

void FrmMain::LoadSearchList() {
  const ListLoad load = LoadList(searchList_, ReadSearchListFile(setup_.ProfilePath),
                                 [this](std::size_t position) { searchView_.RowAdded(position); });
  listTold_ = DescribeListLoad(load, kProfileFileName);
  if (!load.MaySave()) {
    listUnread_ = load.Reason;
    // Its entries were never read: a save would put the built-ins' empty list over them.
    saveRefused_ = "its entries could not be read";
  } else {
    saveRefused_ = setup_.ReadOnlyReason;
  }
}

void FrmMain::TellListLoad() {
  if (listTold_.empty() || hwnd_ == nullptr) return;
  const std::vector<std::string> told = std::exchange(listTold_, {});
  std::string text;
  for (const std::string& sentence : told) {
    if (setup_.Note) setup_.Note(setup_.AutoMode ? "-a" : "window", "list file", sentence);
    text += (text.empty() ? "" : "\n\n") + sentence;
  }
  // An unattended run has nobody to answer a box.
  if (!setup_.AutoMode) AppMessageBox(MessageOwner(), text, MB_OK | MB_ICONWARNING);
}

void FrmMain::SaveSearchList() {
  if (!saveRefused_.empty()) return;
  const char* source = setup_.AutoMode ? "-a" : "window";
  for (;;) {
    const SearchListSave save = SaveSearchListFile(setup_.ProfilePath, searchList_, setup_.Elevated);
    if (!save.Dropped.empty() && setup_.Note) setup_.Note(source, "list file rewritten", save.Dropped);
    // Nothing lost: the file holds the list, or held it already.
    if (save.Saved || !save.EditLost) return;
    const std::string where = Utf8FromWide(setup_.ProfilePath) + ": " + save.Reason;
    if (setup_.AutoMode || sessionEnded_) {
      if (setup_.Note) setup_.Note(source, "entries not saved", where);
      return;
    }
    const std::wstring text = L"Your entries could not be saved to\n" + setup_.ProfilePath + L"\n\n" +
                              WideFromUtf8(save.Reason) +
                              L"\n\nRetry to save them again, or Cancel to close without saving them.";
    int answer = IDCANCEL;
    {
      const ModalScope asking(*this, WindowModal::AskingToSave);
      answer = MessageBoxW(MessageOwner(), text.c_str(), kAppTitle, MB_RETRYCANCEL | MB_ICONWARNING);
    }
    // A session end meanwhile has saved what it could and unloaded the window.
    if (answer != IDRETRY || hwnd_ == nullptr) return;
  }
}

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
