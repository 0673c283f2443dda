// The user's own entries: the entry dialog's three commands and the profile file.
#include "ui/frmMain.h"

namespace tarnwick {

void FrmMain::LoadSearchList() {}

void FrmMain::SaveSearchList() {}

void FrmMain::OnAddClick() {}

void FrmMain::OnEditClick() {}

void FrmMain::OnDeleteClick() {}

}  // namespace tarnwick
