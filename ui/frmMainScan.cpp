// The scan cycle and the terminate command of the main window.
#include "ui/frmMain.h"

namespace tarnwick {

void FrmMain::OnScanTick() {}

void FrmMain::OnTerminateClick() {}

void FrmMain::OnCheckAllClick(int) {}

LRESULT FrmMain::OnResideListNotify(const NMHDR&) { return 0; }

void FrmMain::OnSearchEntryDeleted(std::size_t) {}

}  // namespace tarnwick
