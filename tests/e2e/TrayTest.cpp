// The notification area as a user meets it: "-i", minimising, the icon's double-click and menu,
// the shell restarting, and the menus of the main window (Exit, Always On Top, Version).
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;

constexpr UINT kIconId = 10;
constexpr UINT kCallback = WM_USER + 1;

bool Topmost(HWND hwnd) { return (GetWindowLongA(hwnd, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0; }

// Chooses "&Always On Top" and waits for the z-order to follow. Posted after other messages, its effect
// also shows that the window's own procedure has handled everything posted before it.
bool ToggleOnTop(HWND hwnd) {
  const bool before = Topmost(hwnd);
  PostCommand(hwnd, IDM_VIEWITEM0);
  return WaitUntil([&] { return Topmost(hwnd) != before; }, 8000ms);
}

bool Visible(HWND hwnd) { return IsWindowVisible(hwnd) != FALSE; }

// Shown again in the normal state and laid out for its client area.
void ExpectShownAndLaidOut(const App& app, HWND hwnd) {
  EXPECT_TRUE(Visible(hwnd));
  EXPECT_FALSE(IsIconic(hwnd));
  EXPECT_EQ(ChildRect(app.Control(IDC_CMDADD)).left, ClientRect(hwnd).right - 95);  // 1425 twips from the right
}

class Tray : public ::testing::Test {
 protected:
  // Started with "-i": hidden, with its icon.
  HWND StartInTray() {
    app_.Run("-i");
    HWND hwnd = app_.WaitMainWindow(false);
    EXPECT_NE(hwnd, nullptr);
    EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(hwnd, kIconId); }, 8000ms));
    return hwnd;
  }
  void TearDown() override { EXPECT_TRUE(app_.Close()); }

  App app_;
};

TEST_F(Tray, TrayStartLeavesTheWindowHiddenBehindTheIcon) {
  HWND hwnd = StartInTray();
  ASSERT_NE(hwnd, nullptr);
  ASSERT_TRUE(ToggleOnTop(hwnd));  // every start message has been handled by now
  EXPECT_FALSE(Visible(hwnd));
  EXPECT_TRUE(TrayIconExists(hwnd, kIconId));
}

TEST_F(Tray, DoubleClickRestoresTheWindowAndItsOwnProcedure) {
  HWND hwnd = StartInTray();
  ASSERT_NE(hwnd, nullptr);
  PostMessageA(hwnd, kCallback, kIconId, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitUntil([&] { return Visible(hwnd); }, 8000ms));
  EXPECT_FALSE(TrayIconExists(hwnd, kIconId));
  ExpectShownAndLaidOut(app_, hwnd);
  // With its own procedure back, the icon's messages mean nothing: the right button opens no menu.
  PostMessageA(hwnd, kCallback, kIconId, WM_RBUTTONDOWN);
  ASSERT_TRUE(ToggleOnTop(hwnd));
  EXPECT_TRUE(TopLevelWindows(app_.Proc().Id(), "#32768").empty());
}

TEST_F(Tray, OtherMouseMessagesOfTheIconChangeNothing) {
  HWND hwnd = StartInTray();
  ASSERT_NE(hwnd, nullptr);
  for (LPARAM mouse : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MOUSEMOVE, WM_RBUTTONDBLCLK}) {
    PostMessageA(hwnd, kCallback, kIconId, mouse);
    // The command posted behind it reaches the window's own procedure through the tray's.
    ASSERT_TRUE(ToggleOnTop(hwnd)) << mouse;
    EXPECT_FALSE(Visible(hwnd)) << mouse;
    EXPECT_TRUE(TrayIconExists(hwnd, kIconId)) << mouse;
    EXPECT_TRUE(TopLevelWindows(app_.Proc().Id(), "#32768").empty()) << mouse;
  }
}

TEST_F(Tray, RightButtonOpensTheMenuWhoseShowRestores) {
  HWND hwnd = StartInTray();
  ASSERT_NE(hwnd, nullptr);
  PostMessageA(hwnd, kCallback, kIconId, WM_RBUTTONDOWN);
  HWND menu = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        const auto menus = TopLevelWindows(app_.Proc().Id(), "#32768");
        menu = menus.empty() ? nullptr : menus.front();
        return menu != nullptr;
      },
      8000ms));
  // "&Show..." by its access key.
  PostMessageA(menu, WM_KEYDOWN, 'S', 0);
  PostMessageA(menu, WM_CHAR, 's', 0);
  ASSERT_TRUE(WaitUntil([&] { return Visible(hwnd); }, 8000ms));
  EXPECT_FALSE(TrayIconExists(hwnd, kIconId));
  ExpectShownAndLaidOut(app_, hwnd);
}

TEST_F(Tray, MinimiseGoesToTheTrayAndShowBringsTheWindowBack) {
  app_.Run();
  HWND hwnd = app_.WaitMainWindow();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_FALSE(TrayIconExists(hwnd, kIconId));
  PostMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !Visible(hwnd) && TrayIconExists(hwnd, kIconId); }, 8000ms));

  PostCommand(hwnd, IDM_POPUPITEM0);
  ASSERT_TRUE(WaitUntil([&] { return Visible(hwnd); }, 8000ms));
  EXPECT_FALSE(TrayIconExists(hwnd, kIconId));
  ExpectShownAndLaidOut(app_, hwnd);

  // And once more: the way there and back does not wear out.
  PostMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !Visible(hwnd) && TrayIconExists(hwnd, kIconId); }, 8000ms));
  PostMessageA(hwnd, kCallback, kIconId, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitUntil([&] { return Visible(hwnd); }, 8000ms));
  EXPECT_FALSE(TrayIconExists(hwnd, kIconId));
}

TEST_F(Tray, TheScanStopsInTheTrayAndRunsAgainAfterwards) {
  app_.Run();
  HWND hwnd = app_.WaitMainWindow();
  ASSERT_NE(hwnd, nullptr);
  PostMessageA(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
  ASSERT_TRUE(WaitUntil([&] { return !Visible(hwnd) && TrayIconExists(hwnd, kIconId); }, 8000ms));
  TempDir sleepers;
  Process vex = StartSleeper(sleepers, "Vex.exe");
  ASSERT_TRUE(vex.Running());
  // Several intervals pass without a tick.
  Sleep(3000);
  HWND reside = app_.Control(IDC_LSTRESIDELIST);
  EXPECT_EQ(ListViewCount(reside), 0);
  PostMessageA(hwnd, kCallback, kIconId, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitUntil([&] { return Visible(hwnd); }, 8000ms));
  EXPECT_TRUE(WaitUntil([&] { return ListViewColumn(reside) == std::vector<std::string>{"Vex.exe"}; }, 4000ms));
}

TEST_F(Tray, TheIconComesBackWhenTheShellRestarts) {
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  HWND hwnd = StartInTray();
  ASSERT_NE(hwnd, nullptr);
  ASSERT_TRUE(DeleteTrayIcon(hwnd, kIconId));
  ASSERT_FALSE(TrayIconExists(hwnd, kIconId));
  PostMessageA(hwnd, taskbarCreated, 0, 0);
  EXPECT_TRUE(WaitUntil([&] { return TrayIconExists(hwnd, kIconId); }, 8000ms));
  EXPECT_FALSE(Visible(hwnd));

  // A shown window has no icon to bring back.
  PostMessageA(hwnd, kCallback, kIconId, WM_LBUTTONDBLCLK);
  ASSERT_TRUE(WaitUntil([&] { return Visible(hwnd); }, 8000ms));
  PostMessageA(hwnd, taskbarCreated, 0, 0);
  ASSERT_TRUE(ToggleOnTop(hwnd));
  EXPECT_FALSE(TrayIconExists(hwnd, kIconId));
}

TEST(TrayUnload, ClosingFromTheTrayLeavesNoIconBehind) {
  App app;
  app.Run("-i");
  HWND hwnd = app.WaitMainWindow(false);
  ASSERT_NE(hwnd, nullptr);
  ASSERT_TRUE(WaitUntil([&] { return TrayIconExists(hwnd, kIconId); }, 8000ms));
  PostMessageA(hwnd, WM_CLOSE, 0, 0);
  ASSERT_TRUE(app.Proc().WaitExit(10000ms));
  EXPECT_FALSE(TrayIconExists(hwnd, kIconId));
}

TEST(Menus, AlwaysOnTopTogglesTheTopmostState) {
  App app;
  app.Run();
  HWND hwnd = app.WaitMainWindow();
  ASSERT_NE(hwnd, nullptr);
  EXPECT_FALSE(Topmost(hwnd));
  PostCommand(hwnd, IDM_VIEWITEM0);
  EXPECT_TRUE(WaitUntil([&] { return Topmost(hwnd); }, 8000ms));
  PostCommand(hwnd, IDM_VIEWITEM0);
  EXPECT_TRUE(WaitUntil([&] { return !Topmost(hwnd); }, 8000ms));
  EXPECT_TRUE(app.Close());
}

TEST(Menus, VersionBoxNamesTheExeAsRun) {
  for (const auto& [exe, text] :
       {std::pair{"Tarnwick.exe", "Tarnwick version 1.0.0"}, std::pair{"Other.exe", "Other version 1.0.0"}}) {
    App app(exe);
    app.Run();
    HWND hwnd = app.WaitMainWindow();
    ASSERT_NE(hwnd, nullptr) << exe;
    PostCommand(hwnd, IDM_HELPITEM0);
    HWND box = WaitMessageBox(app.Proc().Id(), "Tarnwick", 8000ms);
    ASSERT_NE(box, nullptr) << exe;
    EXPECT_EQ(MessageBoxText(box), text);
    // OK only, and no icon.
    EXPECT_NE(GetDlgItem(box, IDOK), nullptr) << exe;
    for (int other : {IDCANCEL, IDYES, IDNO}) EXPECT_EQ(GetDlgItem(box, other), nullptr) << exe << " " << other;
    for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
      if ((GetWindowLongA(child, GWL_STYLE) & SS_TYPEMASK) != SS_ICON) continue;
      EXPECT_EQ(SendMessageA(child, STM_GETICON, 0, 0), 0) << exe;
    }
    AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(WaitUntil([&] { return FindMessageBox(app.Proc().Id(), "Tarnwick") == nullptr; }, 8000ms)) << exe;
    EXPECT_TRUE(app.Close()) << exe;
  }
}

// The profile file after one run that ends by `end`.
std::string ProfileAfter(const std::string& original, void (*end)(HWND)) {
  App app;
  WriteFile(app.IniPath(), original);
  app.Run();
  HWND hwnd = app.WaitMainWindow();
  if (hwnd == nullptr) return "(no window)";
  end(hwnd);
  if (!app.Proc().WaitExit(10000ms)) return "(still running)";
  return ReadFile(app.IniPath());
}

TEST(Menus, ExitSavesLikeTheCloseBox) {
  // A hand-written file that a save writes anew.
  const std::string original = "; mine\r\n[x]\r\nImageName=Mine.exe\r\nDescription=My tool\r\n";
  const std::string closed = ProfileAfter(original, [](HWND hwnd) { PostMessageA(hwnd, WM_CLOSE, 0, 0); });
  const std::string exited = ProfileAfter(original, [](HWND hwnd) { PostCommand(hwnd, IDM_FILEITEM0); });
  EXPECT_NE(closed, original);
  EXPECT_NE(closed.find("Mine.exe"), std::string::npos) << closed;
  EXPECT_EQ(exited, closed);
}

}  // namespace
}  // namespace tarnwick
