// The layout pass: the upper list takes every change of height, the lower list keeps its own.
#include "ui/Layout.h"

namespace tarnwick {
namespace {

// The window system refuses a negative size; the control then keeps what it had.
void SetSize(double& field, double value) {
  if (value >= 0) field = value;
}

}  // namespace

MainLayout MainLayout::Initial() {
  MainLayout l;
  l.lblProcessList = {120, 120, 2085, 255};
  l.lstProcess = {90, 360, 4845, 2775};
  l.cmdAdd = {5070, 360, 1335, 375};
  l.cmdEdit = {5070, 840, 1335, 375};
  l.cmdDelete = {5070, 1320, 1335, 375};
  l.lblProcessReside = {120, 3330, 2085, 255};
  l.lstResideList = {90, 3570, 4845, 1740};
  l.cmdCheckAll[0] = {5070, 3570, 1335, 375};
  l.cmdCheckAll[1] = {5070, 4020, 1335, 375};
  l.cmdTerminate = {5070, 4470, 1335, 855};
  l.picSplitter = {90, 3210, 4875, 75};
  return l;
}

void SplitColumns(MainLayout& layout) {
  layout.ImageNameColumn = 0.4 * layout.lstProcess.Width;
  layout.DescriptionColumn = 0.55 * layout.lstProcess.Width;
}

void LayoutPass(MainLayout& l, double clientWidth, double clientHeight) {
  TwipRect& upper = l.lstProcess;
  TwipRect& lower = l.lstResideList;
  SetSize(l.DescriptionColumn, upper.Width - l.ImageNameColumn);  // still the old width: lags one pass
  SetSize(upper.Width, clientWidth - l.cmdAdd.Width - 240);
  SetSize(upper.Height, clientHeight - l.lblProcessList.Height - l.lblProcessReside.Height - lower.Height - 300);
  l.lblProcessReside.Top = upper.Top + upper.Height + 120;
  // As wide as the list below it: Terminate shows there what it waits for.
  SetSize(l.lblProcessReside.Width, upper.Left + upper.Width - l.lblProcessReside.Left);
  SetSize(lower.Width, upper.Width);
  lower.Top = l.lblProcessReside.Top + l.lblProcessReside.Height - 60;
  SetSize(l.picSplitter.Width, upper.Width);
  l.picSplitter.Top = upper.Top + upper.Height;

  const double column = RoundTwips(upper.Left + upper.Width + 60);
  l.cmdAdd.Top = upper.Top;
  l.cmdAdd.Left = column;
  l.cmdEdit.Top = l.cmdAdd.Top + l.cmdAdd.Height + 60;
  l.cmdEdit.Left = column;
  l.cmdDelete.Top = l.cmdEdit.Top + l.cmdEdit.Height + 60;
  l.cmdDelete.Left = column;
  l.cmdCheckAll[0].Left = column;
  l.cmdCheckAll[1].Left = column;
  l.cmdTerminate.Left = column;
  // The lower buttons follow the lower list only while they cannot collide with the upper ones.
  if (l.cmdDelete.Top + l.cmdDelete.Height + 60 < lower.Top) {
    l.cmdCheckAll[0].Top = lower.Top;
    l.cmdCheckAll[1].Top = l.cmdCheckAll[0].Top + l.cmdCheckAll[0].Height + 60;
    l.cmdTerminate.Top = clientHeight - 120 - l.cmdTerminate.Height;
  }
}

}  // namespace tarnwick
