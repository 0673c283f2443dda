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
  NameSet names(searchList_);
  const ListReadReport report =
      LoadSearchListFile(setup_.profilePath, [&](const std::string& imageName, const std::string& description) {
        if (!names.Add(imageName)) {
          ++deferredDuplicates_;  // told once the window exists, as AddSearchEntry does while loading
          return;
        }
        searchList_.AppendCheckedUserRow(imageName, description);
        searchView_.RowAdded(searchList_.Count());
      });
  listOverrun_ = DescribeListOverrun(report, kProfileFileName);
}

void FrmMain::TellListOverrun() {
  if (listOverrun_.empty() || hwnd_ == nullptr) return;
  const std::string text = std::exchange(listOverrun_, {});
  // An unattended run has nobody to answer a box.
  if (setup_.autoMode) {
    if (setup_.note) setup_.note("-a", "list not read whole", text);
    return;
  }
  AppMessageBox(MessageOwner(), text.c_str(), MB_OK | MB_ICONWARNING);
}

void FrmMain::SaveSearchList() {
  for (;;) {
    const SearchListSave save = SaveSearchListFile(setup_.profilePath, searchList_, setup_.elevated);
    // Nothing lost: the file holds the list, or held it already.
    if (save.saved || !save.editLost) return;
    const std::string where = AnsiFromWide(setup_.profilePath) + ": " + save.reason;
    if (setup_.autoMode || sessionEnded_) {
      if (setup_.note) setup_.note(setup_.autoMode ? "-a" : "window", "entries not saved", where);
      return;
    }
    const std::wstring text = L"Your entries could not be saved to\n" + setup_.profilePath + L"\n\n" +
                              WideFromAnsi(save.reason) +
                              L"\n\nRetry to save them again, or Cancel to close without saving them.";
    int answer = IDCANCEL;
    askingToSave_ = true;
    answer = MessageBoxW(MessageOwner(), text.c_str(), L"Tarnwick", MB_RETRYCANCEL | MB_ICONWARNING);
    askingToSave_ = false;
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
