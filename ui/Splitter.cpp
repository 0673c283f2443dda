// The bar's arithmetic in twips; the window only converts the pointer and paints.
#include "ui/Splitter.h"

namespace tarnwick {

std::optional<double> Splitter::MouseMove(MainLayout& layout, double y) const {
  if (!bSplitterMoving) return std::nullopt;
  TwipRect& bar = layout.picSplitter;
  double top = RoundTwips(bar.Top + bar.Height / 2 + y);
  // The top limit is tested first, so it wins when a tiny window makes the two limits cross.
  const double highest = RoundTwips(layout.lstProcess.Top + kSplitterMargin);
  const double lowest = RoundTwips(layout.lstResideList.Bottom() - kSplitterMargin);
  if (highest > top) {
    top = highest;
  } else if (lowest < top) {
    top = lowest;
  }
  bar.Top = top;
  return top;
}

void Splitter::MouseDown(const MainLayout& layout) {
  bSplitterMoving = true;
  startTop_ = layout.picSplitter.Top;
}

bool Splitter::MouseUp(MainLayout& layout, double clientHeight) {
  if (!bSplitterMoving) return false;
  bSplitterMoving = false;
  TwipRect& upper = layout.lstProcess;
  const double upperHeight = layout.picSplitter.Top - upper.Top;
  if (upperHeight >= 0) upper.Height = upperHeight;
  // The layout pass keeps this height and derives the upper list's from it.
  const double lowerHeight = clientHeight - (upper.Top + upper.Height + layout.lblProcessReside.Height + 180);
  if (lowerHeight >= 0) layout.lstResideList.Height = lowerHeight;
  return true;
}

void Splitter::Cancel(MainLayout& layout) {
  if (!bSplitterMoving) return;
  bSplitterMoving = false;
  layout.picSplitter.Top = startTop_;
}

void RestSplitter(MainLayout& layout) { layout.picSplitter.Top = layout.lstProcess.Bottom(); }

}  // namespace tarnwick
