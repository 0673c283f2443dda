// The drag of the bar between the lists: its limits, its rounding and the heights it leaves behind.
#include "ui/Splitter.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace tarnwick {
namespace {

// The window as first shown at a client height, after one layout pass.
MainLayout Shown(double clientHeight = kInitialClientHeight, double lowerHeight = 1740) {
  MainLayout l = MainLayout::Initial();
  SplitColumns(l);
  l.lstResideList.Height = lowerHeight;
  LayoutPass(l, kInitialClientWidth, clientHeight);
  return l;
}

struct MouseEvent {
  enum Kind { Down, Move, Up } kind;
  double y = 0;  // twips from the bar's top
};

// Runs the events as the window does: a release is followed by the resize handling's layout pass.
void Drive(Splitter& splitter, MainLayout& l, double clientHeight, const std::vector<MouseEvent>& events) {
  for (const MouseEvent& e : events) {
    switch (e.kind) {
      case MouseEvent::Down:
        splitter.MouseDown(l);
        break;
      case MouseEvent::Move:
        splitter.MouseMove(l, e.y);
        break;
      case MouseEvent::Up:
        if (splitter.MouseUp(l, clientHeight)) {
          LayoutPass(l, kInitialClientWidth, clientHeight);
          RestSplitter(l);
        }
        break;
    }
  }
}

struct DragCase {
  std::string name;
  double clientHeight;
  double lowerHeight;            // the lower list's height before the drag
  std::vector<MouseEvent> drag;  // up to the last move, button still held
  double barWhileHeld;
  double barAtRest, upperHeight, lowerAfter, lowerTop;  // after the release
};

void PrintTo(const DragCase& c, std::ostream* os) { *os << c.name; }

class SplitterDrag : public ::testing::TestWithParam<DragCase> {};

TEST_P(SplitterDrag, BarFollowsWithinItsLimitsAndTheReleaseSharesTheHeight) {
  const DragCase& c = GetParam();
  MainLayout l = Shown(c.clientHeight, c.lowerHeight);
  const MainLayout before = l;
  Splitter splitter;
  Drive(splitter, l, c.clientHeight, c.drag);
  EXPECT_TRUE(splitter.bSplitterMoving);
  EXPECT_EQ(l.picSplitter.Top, c.barWhileHeld);
  // Only the bar moves while the button is held.
  EXPECT_EQ(l.lstProcess.Height, before.lstProcess.Height);
  EXPECT_EQ(l.lstResideList.Top, before.lstResideList.Top);
  EXPECT_EQ(l.lstResideList.Height, before.lstResideList.Height);
  EXPECT_EQ(l.cmdCheckAll[0].Top, before.cmdCheckAll[0].Top);

  Drive(splitter, l, c.clientHeight, {{MouseEvent::Up}});
  EXPECT_FALSE(splitter.bSplitterMoving);
  EXPECT_EQ(l.picSplitter.Top, c.barAtRest);
  EXPECT_EQ(l.lstProcess.Height, c.upperHeight);
  EXPECT_EQ(l.lstResideList.Height, c.lowerAfter);
  EXPECT_EQ(l.lstResideList.Top, c.lowerTop);
}

using E = MouseEvent;
INSTANTIATE_TEST_SUITE_P(
    Cases, SplitterDrag,
    ::testing::Values(
        // Released at S: upper list S - 375, lower list H - S - 435, bar at S - 15.
        DragCase{"ClickWithoutMoving", 5415, 1740, {{E::Down}}, 3225, 3210, 2850, 1755, 3525},
        DragCase{"FarUpStopsAt660", 5415, 1740, {{E::Down}, {E::Move, -5000}}, 660, 645, 285, 4320, 960},
        DragCase{"FarDownLeavesNoLowerList", 5415, 1740, {{E::Down}, {E::Move, 5000}}, 4980, 4965, 4605, 0, 5280},
        DragCase{"ExactlyAtTheUpperLimit", 5415, 1740, {{E::Down}, {E::Move, -2602.5}}, 660, 645, 285, 4320, 960},
        // 3225 + 37.5 + 0 = 3262.5 goes to the even 3262; the next move counts from the bar's new top.
        DragCase{"HalfTwipGoesToEven", 5415, 1740, {{E::Down}, {E::Move, 0}}, 3262, 3247, 2887, 1718, 3562},
        DragCase{"MovesCountFromTheBarsNewTop",
                 5415,
                 1740,
                 {{E::Down}, {E::Move, 100}, {E::Move, -100}},
                 3300,
                 3285,
                 2925,
                 1680,
                 3600},
        DragCase{"HalfTwipUpToEven", 5415, 1740, {{E::Down}, {E::Move, 1}}, 3264, 3249, 2889, 1716, 3564},
        // At client height 900 the limits cross (660 from the top, 465 from the bottom): a pointer
        // between them gets the upper one; the release would make the lower list negative, so it
        // keeps its height.
        DragCase{"CrossedLimitsTopWins", 900, 0, {{E::Down}, {E::Move, 62.5}}, 660, 450, 90, 0, 765},
        DragCase{"CrossedLimitsBelowBoth", 900, 0, {{E::Down}, {E::Move, 5000}}, 465, 450, 90, 0, 765},
        DragCase{"TallerWindowFarDown", 6415, 1740, {{E::Down}, {E::Move, 5000}}, 5980, 5965, 5605, 0, 6280}),
    [](const ::testing::TestParamInfo<DragCase>& info) { return info.param.name; });

TEST(Splitter, MovesWithoutADragChangeNothing) {
  MainLayout l = Shown();
  const double bar = l.picSplitter.Top;
  Splitter splitter;
  EXPECT_FALSE(splitter.MouseMove(l, -1000).has_value());  // before any mouse-down
  EXPECT_EQ(l.picSplitter.Top, bar);

  splitter.MouseDown(l);
  EXPECT_EQ(splitter.MouseMove(l, 600), 3862);
  splitter.MouseUp(l, kInitialClientHeight);
  LayoutPass(l, kInitialClientWidth, kInitialClientHeight);
  RestSplitter(l);
  const MainLayout released = l;
  EXPECT_FALSE(splitter.MouseMove(l, 600).has_value());  // after the mouse-up
  EXPECT_FALSE(splitter.MouseMove(l, -600).has_value());
  EXPECT_EQ(l.picSplitter.Top, released.picSplitter.Top);
  EXPECT_EQ(l.lstProcess.Height, released.lstProcess.Height);
  EXPECT_EQ(l.lstResideList.Height, released.lstResideList.Height);
}

TEST(Splitter, ALostCaptureOrAReleaseWithoutAPressOnTheBarResizesNothing) {
  MainLayout l = Shown();
  const MainLayout before = l;
  Splitter splitter;
  EXPECT_FALSE(splitter.MouseUp(l, kInitialClientHeight));  // pressed elsewhere, released over the bar
  splitter.MouseDown(l);
  splitter.MouseMove(l, -1000);
  splitter.Cancel(l);
  EXPECT_FALSE(splitter.bSplitterMoving);
  EXPECT_FALSE(splitter.MouseUp(l, kInitialClientHeight));  // the button comes up after the capture went
  EXPECT_EQ(l.picSplitter.Top, before.picSplitter.Top);
  EXPECT_EQ(l.lstProcess.Height, before.lstProcess.Height);
  EXPECT_EQ(l.lstResideList.Height, before.lstResideList.Height);
}

TEST(Splitter, LaterResizesKeepTheLowerListsHeight) {
  MainLayout l = Shown();
  Splitter splitter;
  Drive(splitter, l, kInitialClientHeight, {{E::Down}, {E::Move, -1000}, {E::Up}});
  const double lower = l.lstResideList.Height;
  const double upper = l.lstProcess.Height;
  ASSERT_EQ(lower, 5415 - 2262 - 435);
  for (const double extra : {1000.0, -500.0, 37.5, 0.0}) {
    LayoutPass(l, kInitialClientWidth + 300, kInitialClientHeight + extra);
    EXPECT_EQ(l.lstResideList.Height, lower) << extra;
    EXPECT_EQ(l.lstProcess.Height, upper + extra) << extra;
    EXPECT_EQ(l.lstResideList.Bottom(), kInitialClientHeight + extra - 135) << extra;
  }
}

}  // namespace
}  // namespace tarnwick
