// The window at the DPI of the Wine prefix: the designed layout in twips, scaled to that DPI's
// pixels, with fonts that follow. Saves a screenshot as artifacts/tarnwick-<dpi>dpi.png.
// The normal run covers 96 DPI; tests/e2e/AtDpi.sh runs this again in a prefix set to 144 DPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;

// The DPI that Wine gives every program it starts in this prefix.
int PrefixDpi() {
  DWORD dpi = 0, size = sizeof(dpi);
  if (RegGetValueA(HKEY_CURRENT_USER, "Control Panel\\Desktop", "LogPixels", RRF_RT_REG_DWORD, nullptr, &dpi, &size) !=
      ERROR_SUCCESS) {
    return USER_DEFAULT_SCREEN_DPI;
  }
  return static_cast<int>(dpi);
}

// The first layout in pixels (left, top, right, bottom), worked out from the twips by hand:
// at 144 DPI 10 twips make a pixel, the client area is 6500 x 5420 twips and halves go to even.
struct Expected {
  int dpi;
  SIZE client;
  int imageNameColumn;  // 0.4 x 4845 twips
  RECT upper, bar, lowerTitle, lower, add, selectAll, terminate;
};

const Expected kExpected[] = {
    {96,
     {433, 361},
     129,
     {6, 24, 334, 215},
     {6, 215, 334, 220},
     {8, 223, 334, 240},  // as wide as the list: Terminate shows there what it waits for
     {6, 236, 334, 352},
     {338, 24, 427, 49},
     {338, 236, 427, 261},
     {338, 296, 427, 353}},
    {144,
     {650, 542},
     194,
     {9, 36, 502, 323},
     {9, 323, 502, 330},
     {12, 335, 502, 360},
     {9, 354, 502, 528},
     {508, 36, 641, 74},
     {508, 354, 641, 392},
     {508, 444, 641, 530}},
};

std::string Text(const RECT& r) {
  std::ostringstream text;  // not operator+: GCC 12 warns falsely (-Wrestrict) on that chain
  text << "{" << r.left << ", " << r.top << ", " << r.right << ", " << r.bottom << "}";
  return text.str();
}

TEST(Dpi, WindowShowsTheDesignedLayoutScaledToThePrefixDpi) {
  const int dpi = PrefixDpi();
  const Expected* expected = nullptr;
  for (const Expected& e : kExpected) {
    if (e.dpi == dpi) expected = &e;
  }
  ASSERT_NE(expected, nullptr) << "no layout worked out for " << dpi << " DPI";

  App app;
  app.Run();
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  const RECT client = ClientRect(main);
  EXPECT_EQ(client.right, expected->client.cx);
  EXPECT_EQ(client.bottom, expected->client.cy);
  const struct {
    int id;
    const RECT& rect;
  } controls[] = {{IDC_LSTPROCESS, expected->upper},
                  {IDC_PICSPLITTER, expected->bar},
                  {IDC_LBLPROCESSRESIDE, expected->lowerTitle},
                  {IDC_LSTRESIDELIST, expected->lower},
                  {IDC_CMDADD, expected->add},
                  {IDC_CMDCHECKALL0, expected->selectAll},
                  {IDC_CMDTERMINATE, expected->terminate}};
  for (const auto& c : controls) EXPECT_EQ(Text(ChildRect(app.Control(c.id))), Text(c.rect)) << "control " << c.id;
  HWND search = app.Control(IDC_LSTPROCESS);
  EXPECT_EQ(ListViewColumnWidth(search, 0), expected->imageNameColumn);
  // The rows follow the font: about 17 pixels at 96 DPI, so at least 14 at 96 and 21 at 144.
  const RECT row = ListViewItemRect(search, 0);
  EXPECT_GE(row.bottom - row.top, 14 * dpi / USER_DEFAULT_SCREEN_DPI);

  RECT frame{};
  GetWindowRect(main, &frame);
  const std::string shot = BinDir() + "..\\artifacts\\tarnwick-" + std::to_string(dpi) + "dpi.png";
  CreateDirectoryA((BinDir() + "..\\artifacts").c_str(), nullptr);
  // Wine shows a control black until it first paints: wait until none is, near its top right corner.
  EXPECT_TRUE(WaitUntil(
      [&] {
        for (int id = IDC_LBLPROCESSLIST; id <= IDC_PICSPLITTER; ++id) {
          const RECT r = ChildRect(app.Control(id));
          if (ScreenPixel(main, r.right - 4, r.top + 2) == RGB(0, 0, 0)) return false;
        }
        return true;
      },
      10000ms));
  EXPECT_TRUE(SaveScreenshot(frame, shot)) << shot;
  EXPECT_TRUE(app.Close());
}

// What Windows sends when the window moves to a monitor with another scaling. The suggested
// rectangle lives in Tarnwick's memory, as Windows would pass it.
bool PostDpiChanged(App& app, HWND main, int dpi, const RECT& suggested) {
  HANDLE process = app.Proc().Handle();
  void* remote = VirtualAllocEx(process, nullptr, sizeof(RECT), MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
  return remote != nullptr && WriteProcessMemory(process, remote, &suggested, sizeof(RECT), nullptr) &&
         PostMessageA(main, WM_DPICHANGED, MAKEWPARAM(dpi, dpi), reinterpret_cast<LPARAM>(remote));
}

TEST(Dpi, MovingToAMonitorWithAnotherScalingLaysTheWindowOutAgain) {
  if (PrefixDpi() != USER_DEFAULT_SCREEN_DPI) GTEST_SKIP() << "worked out from 96 DPI";
  App app;
  app.Run();
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  HWND search = app.Control(IDC_LSTPROCESS);
  const RECT row96 = ListViewItemRect(search, 0);
  RECT frame{};
  GetWindowRect(main, &frame);
  const RECT larger{frame.left, frame.top, frame.left + (frame.right - frame.left) * 3 / 2,
                    frame.top + (frame.bottom - frame.top) * 3 / 2};

  // At 144 DPI ten twips make a pixel: the lists start at 90, 360; buttons are 1335 x 375.
  ASSERT_TRUE(PostDpiChanged(app, main, 144, larger));
  // The bar is placed last: 75 twips are 7.5 pixels there.
  const auto barHeight = [&] {
    const RECT bar = ChildRect(app.Control(IDC_PICSPLITTER));
    return bar.bottom - bar.top;
  };
  ASSERT_TRUE(WaitUntil([&] { return barHeight() == 7 || barHeight() == 8; }, 10000ms));
  const RECT upper = ChildRect(search);
  EXPECT_EQ(upper.left, 9);
  EXPECT_EQ(upper.top, 36);
  EXPECT_EQ(ChildRect(app.Control(IDC_PICSPLITTER)).top, upper.bottom);
  const RECT add = ChildRect(app.Control(IDC_CMDADD));
  EXPECT_EQ(add.top, 36);
  EXPECT_NEAR(add.right - add.left, 133.5, 0.5);
  EXPECT_NEAR(add.bottom - add.top, 37.5, 0.5);
  EXPECT_EQ(add.left - upper.right, 6);
  const RECT terminate = ChildRect(app.Control(IDC_CMDTERMINATE));
  EXPECT_NEAR(terminate.bottom - terminate.top, 85.5, 0.5);
  EXPECT_EQ(ClientRect(main).bottom - terminate.bottom, 12);
  EXPECT_EQ(ListViewColumnWidth(search, 0), 194);  // 0.4 x 4845 twips
  const RECT row144 = ListViewItemRect(search, 0);
  EXPECT_GE((row144.bottom - row144.top) * 2, (row96.bottom - row96.top) * 3 - 2) << "the font follows the DPI";

  // And back: the same twips give the pixels of 96 DPI again.
  ASSERT_TRUE(PostDpiChanged(app, main, 96, frame));
  ASSERT_TRUE(WaitUntil([&] { return barHeight() == 5; }, 10000ms));
  EXPECT_EQ(ChildRect(app.Control(IDC_CMDADD)).right, 427);
  EXPECT_EQ(ChildRect(search).left, 6);
  EXPECT_EQ(ChildRect(search).top, 24);
  EXPECT_EQ(ListViewColumnWidth(search, 0), 129);
  const RECT rowAgain = ListViewItemRect(search, 0);
  EXPECT_EQ(rowAgain.bottom - rowAgain.top, row96.bottom - row96.top);
  EXPECT_TRUE(app.Close());
}

}  // namespace
}  // namespace tarnwick
