// Dragging the bar between the two lists.
#include "ui/frmMain.h"

namespace tarnwick {

void FrmMain::OnSplitterMouseDown(int) {}

void FrmMain::OnSplitterMouseMove(int) {}

void FrmMain::OnSplitterMouseUp(int) {}

void FrmMain::PaintSplitter(HDC dc) {
  RECT r;
  GetClientRect(WindowFromDC(dc), &r);
  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
}

}  // namespace tarnwick
