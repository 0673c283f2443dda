// The layout pass in twips, and its conversion to pixels at 96, 144 and 192 DPI.
#include "ui/Layout.h"

#include <gtest/gtest.h>

namespace tarnwick {
namespace {

MainLayout FirstPass(double width = kInitialClientWidth, double height = kInitialClientHeight) {
  MainLayout l = MainLayout::Initial();
  SplitColumns(l);
  EXPECT_DOUBLE_EQ(l.ImageNameColumn, 0.4 * 4845);
  EXPECT_DOUBLE_EQ(l.DescriptionColumn, 0.55 * 4845);
  LayoutPass(l, width, height);
  return l;
}

TEST(LayoutPass, InitialClientArea) {
  const MainLayout l = FirstPass();
  EXPECT_EQ(l.lstProcess.Width, 4920);
  EXPECT_EQ(l.lstProcess.Height, 2865);
  EXPECT_EQ(l.lblProcessReside.Top, 3345);
  EXPECT_EQ(l.lstResideList.Top, 3540);
  EXPECT_EQ(l.lstResideList.Bottom(), 5280);
  EXPECT_EQ(l.lstResideList.Width, 4920);
  EXPECT_EQ(l.picSplitter.Top, 3225);
  EXPECT_EQ(l.picSplitter.Width, 4920);
  for (const TwipRect* b :
       {&l.cmdAdd, &l.cmdEdit, &l.cmdDelete, &l.cmdCheckAll[0], &l.cmdCheckAll[1], &l.cmdTerminate}) {
    EXPECT_EQ(b->Left, 5070);
  }
  EXPECT_EQ(l.cmdAdd.Top, 360);
  EXPECT_EQ(l.cmdEdit.Top, 795);
  EXPECT_EQ(l.cmdDelete.Top, 1230);
  EXPECT_EQ(l.cmdCheckAll[0].Top, 3540);
  EXPECT_EQ(l.cmdCheckAll[1].Top, 3975);
  EXPECT_EQ(l.cmdTerminate.Top, 4440);
  EXPECT_DOUBLE_EQ(l.DescriptionColumn, 4845 - 0.4 * 4845);  // the width from before the pass
}

TEST(LayoutPass, TallerWindowGrowsOnlyTheUpperList) {
  const MainLayout base = FirstPass();
  const MainLayout l = FirstPass(kInitialClientWidth, kInitialClientHeight + 1000);
  EXPECT_EQ(l.lstProcess.Height, base.lstProcess.Height + 1000);
  EXPECT_EQ(l.lstResideList.Height, base.lstResideList.Height);
  EXPECT_EQ(l.lstResideList.Top, base.lstResideList.Top + 1000);
  EXPECT_EQ(l.lblProcessReside.Top, base.lblProcessReside.Top + 1000);
  EXPECT_EQ(l.picSplitter.Top, base.picSplitter.Top + 1000);
  EXPECT_EQ(l.cmdCheckAll[0].Top, base.cmdCheckAll[0].Top + 1000);
  EXPECT_EQ(l.cmdCheckAll[1].Top, base.cmdCheckAll[1].Top + 1000);
  EXPECT_EQ(l.cmdTerminate.Top, base.cmdTerminate.Top + 1000);
  EXPECT_EQ(l.cmdDelete.Top, base.cmdDelete.Top);
}

TEST(LayoutPass, WiderWindowMovesTheButtonsAndLagsTheColumn) {
  MainLayout l = FirstPass();
  const double column2 = l.DescriptionColumn;
  LayoutPass(l, kInitialClientWidth + 600, kInitialClientHeight);
  EXPECT_EQ(l.lstProcess.Width, 4920 + 600);
  EXPECT_EQ(l.lstResideList.Width, 4920 + 600);
  EXPECT_EQ(l.picSplitter.Width, 4920 + 600);
  for (const TwipRect* b :
       {&l.cmdAdd, &l.cmdEdit, &l.cmdDelete, &l.cmdCheckAll[0], &l.cmdCheckAll[1], &l.cmdTerminate}) {
    EXPECT_EQ(b->Left, 5070 + 600);
  }
  EXPECT_DOUBLE_EQ(l.DescriptionColumn, 4920 - 0.4 * 4845);  // grew by the first pass's widening only
  EXPECT_GT(l.DescriptionColumn, column2);
  LayoutPass(l, kInitialClientWidth + 600, kInitialClientHeight);
  EXPECT_DOUBLE_EQ(l.DescriptionColumn, 4920 + 600 - 0.4 * 4845);
}

TEST(LayoutPass, TheButtonColumnStandsOnAWholeTwip) {
  // 90 + (W - 1575) + 60: a half goes to the even neighbour.
  const struct { double width, column; } cases[] = {{6495.5, 5070}, {6496.5, 5072}, {6495.25, 5070}, {6495.75, 5071}};
  for (const auto& c : cases) {
    const MainLayout l = FirstPass(c.width);
    EXPECT_EQ(l.cmdAdd.Left, c.column) << c.width;
    EXPECT_EQ(l.cmdCheckAll[1].Left, c.column) << c.width;
  }
}

TEST(LayoutPass, LowerButtonsStayOnceTheyWouldMeetTheUpperOnes) {
  MainLayout l = FirstPass();
  // The lower list's top reaches 1665 (bottom of "&Delete" + 60) at a client height of 3540.
  LayoutPass(l, kInitialClientWidth, 3541);
  const double checkAll0 = l.cmdCheckAll[0].Top;
  EXPECT_EQ(checkAll0, l.lstResideList.Top);
  LayoutPass(l, kInitialClientWidth, 3540);
  EXPECT_EQ(l.lstResideList.Top, 1665);
  EXPECT_EQ(l.cmdCheckAll[0].Top, checkAll0);
  EXPECT_EQ(l.cmdTerminate.Top, 3541 - 120 - 855);
}

TEST(LayoutPass, TooSmallKeepsTheLastSizesAndStillPlacesTheRest) {
  MainLayout l = FirstPass();
  LayoutPass(l, 1000, 2000);  // upper list would be 2000-255-255-1740-300 < 0, width 1000-1575 < 0
  EXPECT_EQ(l.lstProcess.Height, 2865);
  EXPECT_EQ(l.lstProcess.Width, 4920);
  EXPECT_EQ(l.picSplitter.Top, 360 + 2865);
  EXPECT_EQ(l.lstResideList.Top, 3540);
  LayoutPass(l, 1800, 2500);  // the width fits again (225), the height still does not
  EXPECT_EQ(l.lstProcess.Width, 225);
  EXPECT_EQ(l.lstResideList.Width, 225);
  EXPECT_EQ(l.lstProcess.Height, 2865);
  EXPECT_EQ(l.cmdAdd.Left, 90 + 225 + 60);
}

TEST(RoundTwips, HalvesGoToTheEvenNeighbour) {
  EXPECT_EQ(RoundTwips(2.5), 2);
  EXPECT_EQ(RoundTwips(3.5), 4);
  EXPECT_EQ(RoundTwips(-0.5), 0);
  EXPECT_EQ(RoundTwips(37.4), 37);
}

struct DpiCase {
  int dpi;
  int clientWidth, clientHeight;
};

class LayoutPixels : public ::testing::TestWithParam<DpiCase> {};

TEST_P(LayoutPixels, ControlsThatTouchInTwipsTouchInPixels) {
  const DpiCase c = GetParam();
  EXPECT_EQ(TwipsToPixels(kInitialClientWidth, c.dpi), c.clientWidth);
  EXPECT_EQ(TwipsToPixels(kInitialClientHeight, c.dpi), c.clientHeight);
  // Odd sizes as well as the designed one, where twips do not fall on whole pixels.
  for (int extra = 0; extra < 40; ++extra) {
    MainLayout l =
        FirstPass(PixelsToTwips(c.clientWidth + extra, c.dpi), PixelsToTwips(c.clientHeight + 3 * extra, c.dpi));
    const PixelRect upper = ToPixels(l.lstProcess, c.dpi);
    const PixelRect bar = ToPixels(l.picSplitter, c.dpi);
    EXPECT_EQ(upper.Top + upper.Height, bar.Top) << "extra " << extra;
    EXPECT_EQ(upper.Width, bar.Width);
  }
}

INSTANTIATE_TEST_SUITE_P(Dpis, LayoutPixels,
                         ::testing::Values(DpiCase{96, 433, 361}, DpiCase{144, 650, 542}, DpiCase{192, 866, 722},
                                           DpiCase{120, 541, 451}));

TEST(LayoutPixels, At96DpiFifteenTwipsMakeOnePixel) {
  const MainLayout l = FirstPass();
  const PixelRect upper = ToPixels(l.lstProcess, 96);
  EXPECT_EQ(upper.Left, 6);
  EXPECT_EQ(upper.Top, 24);
  EXPECT_EQ(upper.Width, 328);
  EXPECT_EQ(upper.Height, 191);
  const PixelRect terminate = ToPixels(l.cmdTerminate, 96);
  EXPECT_EQ(terminate.Top, 296);
  EXPECT_EQ(terminate.Height, 57);
}

}  // namespace
}  // namespace tarnwick
