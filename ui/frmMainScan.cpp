// The scan cycle and the terminate command of the main window: ticks, buttons and check boxes go to
// the ScanCycle model, whose lines are rendered into lstResideList.
#include <windows.h>
#include <commctrl.h>

#include "app/AppWin32.h"
#include "ui/frmMain.h"

namespace tarnwick {
namespace {

constexpr const char* kTerminateQuestion = "Selected all Processes will be terminated. Are you sure?";

UINT CheckState(bool marked) { return INDEXTOSTATEIMAGEMASK(marked ? 2 : 1); }

std::string ItemText(HWND list, int item) {
  std::string text(4096, '\0');  // image names are far shorter; a cut one only costs a re-insert
  LVITEMA record{};
  record.iSubItem = 0;
  record.pszText = text.data();
  record.cchTextMax = static_cast<int>(text.size());
  SendMessageA(list, LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&record));
  text.resize(text.find('\0'));
  return text;
}

LPARAM ItemData(HWND list, int item) {
  LVITEMA record{};
  record.mask = LVIF_PARAM;
  record.iItem = item;
  SendMessageA(list, LVM_GETITEMA, 0, reinterpret_cast<LPARAM>(&record));
  return record.lParam;
}

// Sets the flag for the lifetime of the object, whichever way the scope is left.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void FrmMain::OnScanTick() {
  if (AutoMode) {
    // The unattended run is one refresh and one terminate pass, even if another tick slips in meanwhile.
    if (autoRunDone_) return;
    autoRunDone_ = true;
    SetTimerEnabled(false);
  }
  scan_.RefreshResideList(searchList_, processes_, AutoMode);
  RenderResideList();
  if (AutoMode) {
    OnTerminateClick();
    Unload();
  }
}

void FrmMain::OnTerminateClick() {
  if (!AutoMode) {
    // A second press while the question is open (the box keeps the window's messages flowing) is ignored.
    if (confirmingTerminate_) return;
    int answer = IDNO;
    {
      FlagScope confirming(confirmingTerminate_);
      answer = MessageBoxA(MessageOwner(), kTerminateQuestion, kAppTitle, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1);
    }
    if (answer != IDYES) return;
  }
  // Ticks keep running while the box is open: the pass takes the lines and marks as they are now.
  scan_.TerminateMarked(processes_);
}

void FrmMain::OnCheckAllClick(int index) {
  scan_.CheckAll(index);
  RenderResideList();
}

void FrmMain::OnSearchEntryDeleted(std::size_t position) {
  scan_.OnEntryDeleted(position);
  RenderResideList();
}

void FrmMain::OnSearchEntryRenamed(std::size_t position) {
  scan_.OnEntryRenamed(position);
  RenderResideList();
}

LRESULT FrmMain::OnResideListNotify(const NMHDR& header) {
  if (header.code != LVN_ITEMCHANGED || renderingResideList_) return 0;
  const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
  if (!(change.uChanged & LVIF_STATE) || ((change.uNewState ^ change.uOldState) & LVIS_STATEIMAGEMASK) == 0) return 0;
  // The user ticked or cleared a box (item -1: every item at once).
  if (change.iItem >= 0) {
    SyncMarkFromControl(change.iItem);
  } else {
    const int count = ListView_GetItemCount(Control(IDC_LSTRESIDELIST));
    for (int item = 0; item < count; ++item) SyncMarkFromControl(item);
  }
  return 0;
}

void FrmMain::SyncMarkFromControl(int item) {
  HWND list = Control(IDC_LSTRESIDELIST);
  scan_.SetMark(static_cast<std::size_t>(item), ListView_GetCheckState(list, item) != FALSE);
}

void FrmMain::RenderResideList() {
  HWND list = Control(IDC_LSTRESIDELIST);
  if (list == nullptr) return;
  FlagScope rendering(renderingResideList_);
  int item = 0;
  for (const ResideLine& line : scan_.Lines()) {
    // Items whose lines went are deleted; the others keep their place, selection and scroll position.
    while (item < ListView_GetItemCount(list) && ItemText(list, item) != line.Text) ListView_DeleteItem(list, item);
    if (item == ListView_GetItemCount(list)) {
      LVITEMA record{};
      record.mask = LVIF_TEXT | LVIF_PARAM;
      record.iItem = item;
      record.pszText = const_cast<char*>(line.Text.c_str());
      record.lParam = static_cast<LPARAM>(line.ItemData);
      item = static_cast<int>(SendMessageA(list, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&record)));
      if (item < 0) return;
      ListView_SetItemState(list, item, CheckState(line.Marked), LVIS_STATEIMAGEMASK);
    } else {
      if (ItemData(list, item) != static_cast<LPARAM>(line.ItemData)) {
        LVITEMA record{};
        record.mask = LVIF_PARAM;
        record.iItem = item;
        record.lParam = static_cast<LPARAM>(line.ItemData);
        SendMessageA(list, LVM_SETITEMA, 0, reinterpret_cast<LPARAM>(&record));
      }
      if ((ListView_GetCheckState(list, item) != FALSE) != line.Marked) {
        ListView_SetItemState(list, item, CheckState(line.Marked), LVIS_STATEIMAGEMASK);
      }
    }
    ++item;
  }
  while (ListView_GetItemCount(list) > item) ListView_DeleteItem(list, item);
}

}  // namespace tarnwick
