// Dragging the bar between the lists with the real mouse (xdotool on the X server): the bar alone
// follows the pointer, also outside the window, and the release shares the height between the lists.
#include <windows.h>

#include <gtest/gtest.h>

#include <initializer_list>
#include <string>

#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;

// The main window's client point on the screen, where xdotool puts the pointer.
std::string ScreenPoint(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  return std::to_string(p.x) + " " + std::to_string(p.y);
}

bool Same(const RECT& a, const RECT& b) { return EqualRect(&a, &b) != FALSE; }

class SplitterDrag : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.Run();
    main_ = app_.WaitMainWindow();
    ASSERT_NE(main_, nullptr);
    ASSERT_EQ(ClientRect(main_).bottom, 361) << "these cases are worked out at 96 DPI";
    SetForegroundWindow(main_);
  }
  void TearDown() override { EXPECT_TRUE(app_.Close()); }

  RECT Rect(int id) const { return ChildRect(app_.Control(id)); }
  // Presses on the middle of the bar and moves to the client point (x 100, y), button held.
  void Grab(int y) {
    const RECT bar = Rect(IDC_PICSPLITTER);
    Xdotool("mousemove " + ScreenPoint(main_, 100, (bar.top + bar.bottom) / 2) + " sleep 0.3 mousedown 1 sleep 0.3 " +
            "mousemove " + ScreenPoint(main_, 100, y));
  }
  static void Xdotool(const std::string& args) { ASSERT_TRUE(StartLinuxProgram("/usr/bin/xdotool", args)); }
  struct Edges {
    int id;
    LONG top, bottom;
  };
  // The window moves its controls one after another: wait until all are in place, then compare.
  bool WaitEdges(std::initializer_list<Edges> expected) {
    const auto placed = [&] {
      for (const Edges& e : expected) {
        const RECT r = Rect(e.id);
        if (r.top != e.top || r.bottom != e.bottom) return false;
      }
      return true;
    };
    WaitUntil(placed, 10000ms);
    for (const Edges& e : expected) {
      EXPECT_EQ(Rect(e.id).top, e.top) << "control " << e.id;
      EXPECT_EQ(Rect(e.id).bottom, e.bottom) << "control " << e.id;
    }
    return placed();
  }

  App app_;
  HWND main_ = nullptr;
};

TEST_F(SplitterDrag, OnlyTheBarMovesWhileHeldThenTheListsShareTheHeight) {
  const RECT upper = Rect(IDC_LSTPROCESS), lower = Rect(IDC_LSTRESIDELIST), selectAll = Rect(IDC_CMDCHECKALL0);
  ASSERT_EQ(Rect(IDC_PICSPLITTER).top, 215);
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(main_, 100, 217) == GetSysColor(COLOR_BTNFACE); }));

  // Pointer at client y 150 (2250 twips): the bar's top goes to 2250 + 37.5, an even 2288 (pixel 153).
  Grab(150);
  ASSERT_TRUE(WaitEdges({{IDC_PICSPLITTER, 153, 158}}));
  EXPECT_TRUE(Same(upper, Rect(IDC_LSTPROCESS)));
  EXPECT_TRUE(Same(lower, Rect(IDC_LSTRESIDELIST)));
  EXPECT_TRUE(Same(selectAll, Rect(IDC_CMDCHECKALL0)));
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(main_, 100, 155) == GetSysColor(COLOR_BTNSHADOW); }));

  Xdotool("mouseup 1");
  // Upper list 2288 - 375 = 1913 high, lower list 5415 - 2288 - 435 = 2692 from 2588.
  ASSERT_TRUE(WaitEdges({{IDC_LSTPROCESS, 24, 152},
                         {IDC_PICSPLITTER, 152, 157},
                         {IDC_LBLPROCESSRESIDE, 160, 177},
                         {IDC_LSTRESIDELIST, 173, 352},
                         {IDC_CMDCHECKALL0, 173, 198}}));
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(main_, 100, 154) == GetSysColor(COLOR_BTNFACE); }));

  // A taller window gives the upper list all of it; the lower list keeps its 179 pixels.
  RECT frame{};
  GetWindowRect(main_, &frame);
  SetWindowPos(main_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top + 60,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  EXPECT_TRUE(WaitEdges({{IDC_LSTPROCESS, 24, 152 + 60}, {IDC_LSTRESIDELIST, 173 + 60, 352 + 60}}));
}

TEST_F(SplitterDrag, ALostCaptureEndsTheDragAndAReleaseNotPressedOnTheBarResizesNothing) {
  const RECT upper = Rect(IDC_LSTPROCESS), lower = Rect(IDC_LSTRESIDELIST), bar = Rect(IDC_PICSPLITTER);
  Grab(150);
  ASSERT_TRUE(WaitEdges({{IDC_PICSPLITTER, 153, 158}}));
  // As when another window or a menu takes the mouse during the drag.
  PostMessageA(app_.Control(IDC_PICSPLITTER), WM_CANCELMODE, 0, 0);
  EXPECT_TRUE(WaitEdges({{IDC_PICSPLITTER, bar.top, bar.bottom}}));
  EXPECT_TRUE(WaitUntil([&] { return ScreenPixel(main_, 100, bar.top + 2) == GetSysColor(COLOR_BTNFACE); }));
  Xdotool("mouseup 1");
  SendMessageA(app_.Control(IDC_PICSPLITTER), WM_LBUTTONUP, 0, MAKELPARAM(100, 2));
  EXPECT_TRUE(Same(bar, Rect(IDC_PICSPLITTER)));
  EXPECT_TRUE(Same(upper, Rect(IDC_LSTPROCESS)));
  EXPECT_TRUE(Same(lower, Rect(IDC_LSTRESIDELIST)));
}

TEST_F(SplitterDrag, PointerOutsideTheWindowStopsTheBarAtTheLimits) {
  // Above the client area: the bar stops 300 below the upper list's top (660), rests at 645.
  Grab(-10);
  ASSERT_TRUE(WaitEdges({{IDC_PICSPLITTER, 44, 49}}));
  Xdotool("mouseup 1");
  // The upper list 285 high, the lower list from 960 to 5280.
  ASSERT_TRUE(WaitEdges({{IDC_LSTPROCESS, 24, 43}, {IDC_PICSPLITTER, 43, 48}, {IDC_LSTRESIDELIST, 64, 352}}));

  // Below the window: the bar stops 300 above the lower list's bottom; the lower list is left 0 high.
  Grab(361 + 40);
  ASSERT_TRUE(WaitEdges({{IDC_PICSPLITTER, 332, 337}}));
  Xdotool("mouseup 1");
  // The upper list down to 4965, the lower list 0 high at 5280.
  EXPECT_TRUE(WaitEdges({{IDC_LSTPROCESS, 24, 331}, {IDC_PICSPLITTER, 331, 336}, {IDC_LSTRESIDELIST, 352, 352}}));
}

}  // namespace
}  // namespace tarnwick
