// The drag of the bar between the two lists, in twips: where the bar goes while the button is held,
// and the lists' heights it leaves behind at the release.
#pragma once
#include <optional>

#include "ui/Layout.h"

namespace tarnwick {

// A drag keeps the bar's top this far below the top of the upper list and this far above the bottom
// of the lower list, so that the release leaves neither list with a negative height.
inline constexpr double kSplitterMargin = 300;

class Splitter {
 public:
  bool bSplitterMoving = false;  // from a mouse-down on the bar until the next mouse-up

  // Any button starts a drag; the bar's top is kept to put it back if the drag is cancelled.
  void MouseDown(const MainLayout& layout);

  // y: the pointer in twips from the bar's top. While a drag is under way the bar's top moves to
  // follow it, within the limits, and the new top is returned; otherwise nothing changes.
  std::optional<double> MouseMove(MainLayout& layout, double y) const;

  // Ends the drag (also a plain click) and shares the client height between the lists as the bar
  // now stands. A height that would come out negative (window too small) is left as it was.
  // True when a drag was under way: the caller then lays the window out and rests the bar with
  // RestSplitter. A release whose press was not on the bar changes nothing.
  bool MouseUp(MainLayout& layout, double clientHeight);

  // The drag lost the mouse (another window took the capture, a menu or a box opened): the bar goes
  // back to where the drag began and nothing is resized.
  void Cancel(MainLayout& layout);

 private:
  double startTop_ = 0;
};

// After the layout pass that follows a release: the bar sits directly below the upper list.
void RestSplitter(MainLayout& layout);

}  // namespace tarnwick
