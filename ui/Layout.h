// The main window's geometry in twips and the layout pass that places its controls.
#pragma once
#include "common/Twips.h"

namespace tarnwick {

struct MainLayout {
  TwipRect lblProcessList, lstProcess, cmdAdd, cmdEdit, cmdDelete, lblProcessReside, lstResideList;
  TwipRect cmdCheckAll[2];
  TwipRect cmdTerminate, picSplitter;
  double ImageNameColumn = 1440;  // widths of the search list's two columns
  double DescriptionColumn = 1440;

  // The window's geometry as designed, before the first layout pass.
  static MainLayout Initial();
};

inline constexpr double kInitialClientWidth = 6495;
inline constexpr double kInitialClientHeight = 5415;

// The load's split of the search list between its columns: 0.4 and 0.55 of the list's width.
void SplitColumns(MainLayout& layout);

// Places the controls for a client area of width x height twips. An assignment that would make a
// width or height negative is skipped and the control keeps its value, as the window system would.
void LayoutPass(MainLayout& layout, double clientWidth, double clientHeight);

}  // namespace tarnwick
