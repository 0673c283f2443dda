// The tray's subclass on the real main window, in this process: when it stands in front of the window's
// own procedure, that every message still reaches that procedure with its result, and what happens
// when the shell takes no icon, at the first add and after a shell restart.
#include <windows.h>
#include <commctrl.h>

#include <gtest/gtest.h>

#include <vector>

#include "common/SystemFunctionWin32.h"
#include "common/WideTextWin32.h"
#include "process/ProcessWin32.h"
#include "tests/support/Driver.h"
#include "tray/modTaskTray.h"
#include "ui/frmMain.h"

namespace tarnwick {
namespace {

constexpr UINT kIconId = 10;
constexpr UINT kCallback = 0x401;
constexpr LRESULT kOwnResult = 0x5A5A;

// Stands in front of the window's class procedure as "its own" and records the icon's messages.
WNDPROC classProcedure = nullptr;
std::vector<LPARAM> callbacksSeen;

LRESULT CALLBACK OwnProcedure(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  if (msg == kCallback) {
    callbacksSeen.push_back(lParam);
    return kOwnResult;
  }
  return CallWindowProcA(classProcedure, hwnd, msg, wParam, lParam);
}

int refusedAdds = 0;
BOOL WINAPI RefusingShell(DWORD message, PNOTIFYICONDATAA) {
  if (message == NIM_ADD) ++refusedAdds;
  return FALSE;
}

// The main window of this process, saving its entries in the test's own folder.
MainWindowSetup SetupIn(const test::TempDir& dir, ProcessApi& processes) {
  MainWindowSetup setup;
  setup.ExeName = "Tarnwick";
  setup.ProfilePath = WideFromUtf8(dir.File("Tarnwick.ini"));
  setup.Processes = &processes;
  return setup;
}

WNDPROC Procedure(HWND hwnd) { return reinterpret_cast<WNDPROC>(GetWindowLongPtrA(hwnd, GWLP_WNDPROC)); }
// Whether the tray's procedure stands in front of the window's own, with the tray part as its data.
bool Hooked(HWND hwnd, TrayIcon& tray) {
  // Looked up: the 64-bit import library of comctl32 lacks it.
  using GetSubclass = BOOL(WINAPI*)(HWND, SUBCLASSPROC, UINT_PTR, DWORD_PTR*);
  static const auto getSubclass = SystemFunction<GetSubclass>("comctl32.dll", "GetWindowSubclass");
  if (getSubclass == nullptr) {
    ADD_FAILURE() << "comctl32 has no GetWindowSubclass";
    return false;
  }
  DWORD_PTR part = 0;
  return getSubclass(hwnd, &TrayIcon::TrayWndProc, kTrayIconId, &part) && part == reinterpret_cast<DWORD_PTR>(&tray);
}

class TrayHook : public ::testing::Test {
 protected:
  void SetUp() override {
    INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    hwnd_ = main_.Handle();
    ASSERT_NE(hwnd_, nullptr);
    classProcedure =
        reinterpret_cast<WNDPROC>(SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&OwnProcedure)));
    callbacksSeen.clear();
  }
  void TearDown() override {
    main_.Tray().SetShellNotifyFunction(nullptr);
    main_.Tray().RemoveTrayIcon();
    SetWindowLongPtrA(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(classProcedure));
    main_.SetTimerEnabled(false);
    main_.Hide();
  }

  test::TempDir dir_;
  ProcessWin32 processes_;
  FrmMain main_{SetupIn(dir_, processes_)};
  HWND hwnd_ = nullptr;
};

TEST_F(TrayHook, IconMessagesPassToTheOwnProcedureAndOnlyTheDoubleClickRestores) {
  TrayIcon& tray = main_.Tray();
  ASSERT_TRUE(tray.AddTrayIcon(std::string("Tip") + '\0'));
  ASSERT_TRUE(Hooked(hwnd_, tray));
  EXPECT_TRUE(test::TrayIconExists(hwnd_, kIconId));
  EXPECT_FALSE(IsWindowVisible(hwnd_));
  // A second add must not stack a second hook.
  EXPECT_TRUE(tray.AddTrayIcon(std::string("Tip") + '\0'));

  for (LPARAM mouse : {WM_MOUSEMOVE, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONUP, WM_MBUTTONDOWN}) {
    EXPECT_EQ(SendMessageA(hwnd_, kCallback, kIconId, mouse), kOwnResult) << mouse;
    ASSERT_FALSE(callbacksSeen.empty());
    EXPECT_EQ(callbacksSeen.back(), mouse);
    EXPECT_TRUE(Hooked(hwnd_, tray)) << mouse;
    EXPECT_FALSE(IsWindowVisible(hwnd_)) << mouse;
    EXPECT_TRUE(test::TrayIconExists(hwnd_, kIconId)) << mouse;
  }
  EXPECT_FALSE(main_.TimerEnabled());

  // The double-click restores first, then still hands the message on.
  EXPECT_EQ(SendMessageA(hwnd_, kCallback, kIconId, WM_LBUTTONDBLCLK), kOwnResult);
  EXPECT_EQ(callbacksSeen.back(), WM_LBUTTONDBLCLK);
  EXPECT_FALSE(Hooked(hwnd_, tray));
  EXPECT_EQ(Procedure(hwnd_), &OwnProcedure);
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_FALSE(IsIconic(hwnd_));
  EXPECT_TRUE(main_.TimerEnabled());
  EXPECT_FALSE(test::TrayIconExists(hwnd_, kIconId));

  // Removing without an icon changes nothing.
  tray.RemoveTrayIcon();
  EXPECT_EQ(Procedure(hwnd_), &OwnProcedure);
}

// After an Explorer restart the icon is added again with the same retries, and where the new shell
// still refuses, the window comes back minimised on the taskbar instead of staying hidden for ever.
TEST_F(TrayHook, TheReAddAfterAShellRestartRetriesAndFallsBackLikeTheFirstAdd) {
  TrayIcon& tray = main_.Tray();
  ASSERT_TRUE(tray.AddTrayIcon(std::string("Tip") + '\0'));
  const UINT taskbarCreated = RegisterWindowMessageA("TaskbarCreated");
  test::DeleteTrayIcon(hwnd_, kIconId);  // the old shell took it with it
  SendMessageA(hwnd_, taskbarCreated, 0, 0);
  EXPECT_TRUE(test::TrayIconExists(hwnd_, kIconId));
  EXPECT_FALSE(IsWindowVisible(hwnd_));

  tray.SetShellNotifyFunction(&RefusingShell);
  refusedAdds = 0;
  SendMessageA(hwnd_, taskbarCreated, 0, 0);
  EXPECT_EQ(refusedAdds, 5);
  EXPECT_FALSE(Hooked(hwnd_, tray));
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_TRUE(IsIconic(hwnd_));
}

// Hidden without an icon, the window could not be reached again.
TEST_F(TrayHook, WhenTheShellTakesNoIconTheWindowStaysMinimisedOnTheTaskbar) {
  main_.Tray().SetShellNotifyFunction(&RefusingShell);
  refusedAdds = 0;
  main_.Show();
  ShowWindow(hwnd_, SW_MINIMIZE);
  EXPECT_EQ(refusedAdds, 5);  // tried again for about a second
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_TRUE(IsIconic(hwnd_));
  EXPECT_EQ(Procedure(hwnd_), &OwnProcedure);
  EXPECT_FALSE(main_.TimerEnabled());

  main_.Hide();
  main_.StartInTray();  // "-i"
  EXPECT_TRUE(IsWindowVisible(hwnd_));
  EXPECT_TRUE(IsIconic(hwnd_));
  EXPECT_EQ(Procedure(hwnd_), &OwnProcedure);
}

TEST(MainWindow, AnUnloadedWindowIsNeverMadeAgain) {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  const test::TempDir dir;
  ProcessWin32 processes;
  FrmMain main(SetupIn(dir, processes));
  ASSERT_NE(main.Handle(), nullptr);
  main.Unload();
  EXPECT_EQ(main.Handle(), nullptr);
  main.SetTimerEnabled(true);
  EXPECT_EQ(main.Handle(), nullptr);
  EXPECT_FALSE(main.TimerEnabled());
}

}  // namespace
}  // namespace tarnwick
