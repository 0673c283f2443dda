// A day of use through the real window: the X server's keyboard and mouse (xdotool) drive Tarnwick from a
// first start with no profile file to an unattended "-a" run. Screenshots of the steps go to artifacts/.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <iostream>
#include <string>
#include <vector>

#include "searchlist/frmAddProcess.h"
#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

constexpr UINT kIconId = 10;
constexpr const char* kQuestion = "Selected all Processes will be terminated. Are you sure?";
constexpr const char* kTrayCaption = "Wine System Tray";

// The step's screenshot as artifacts/scenario-<name>.png, of the screen around the windows given.
void Screenshot(const std::string& name, std::initializer_list<HWND> windows) {
  RECT area{};
  for (HWND hwnd : windows) {
    if (hwnd == nullptr || !IsWindowVisible(hwnd)) continue;
    // Painted now, so that the picture shows the state just reached.
    RedrawWindow(hwnd, nullptr, nullptr, RDW_UPDATENOW | RDW_ALLCHILDREN);
    RECT r{};
    GetWindowRect(hwnd, &r);
    if (IsRectEmpty(&area)) area = r;
    UnionRect(&area, &area, &r);
  }
  // Room for the window manager's frame, which lies outside the window's own rectangle.
  InflateRect(&area, 12, 12);
  area.left = std::max(area.left, 0L);
  area.top = std::max(area.top, 0L);
  const std::string folder = BinDir() + "..\\artifacts";
  CreateDirectoryA(folder.c_str(), nullptr);
  const std::string file = folder + "\\scenario-" + name + ".png";
  EXPECT_TRUE(SaveScreenshot(area, file)) << file;
}

// What the person at the screen does, and what they see, through xdotool and the driver.
class Scenario : public ::testing::Test {
 protected:
  HWND Main() const { return app_.MainWindow(); }
  HWND SearchList() const { return app_.Control(IDC_LSTPROCESS); }
  HWND RunningList() const { return app_.Control(IDC_LSTRESIDELIST); }
  Lines Running() const {
    Lines lines = ListViewColumn(RunningList());
    std::sort(lines.begin(), lines.end());  // lines come in the order the scan meets the images
    return lines;
  }
  bool AllRunningMarked() const {
    const int count = ListViewCount(RunningList());
    for (int i = 0; i < count; ++i) {
      if (!ListViewChecked(RunningList(), i)) return false;
    }
    return count > 0;
  }
  std::vector<HWND> Open(const std::string& className) { return TopLevelWindows(app_.Proc().Id(), className); }

  // The X window of the main window, as the window manager knows it.
  std::string XWindow() {
    std::string found;
    WaitUntil(
        [&] {
          return shell_.Run("xdotool search --onlyvisible --name '^Velm Tarnwick$'", &found) &&
                 found.find_first_of("0123456789") != std::string::npos;
        },
        15000ms);
    return found.substr(0, found.find('\n'));
  }
  // Brings the main window to the front with the keyboard focus, as a click on it would.
  bool Activate() {
    const std::string window = XWindow();
    return !window.empty() &&
           shell_.Input("xdotool windowactivate --sync " + window, [&] { return GetForegroundWindow() == Main(); });
  }
  bool Keys(const std::string& keys, const std::function<bool()>& effect) {
    return shell_.Input("xdotool key --delay 80 " + keys, effect);
  }
  // Types into the box that has the focus; a retry clears what arrived of the first typing.
  bool Type(HWND box, const std::string& text) {
    const std::string typing = "xdotool type --delay 50 '" + text + "'";
    return shell_.Input(
        typing, [&] { return WindowText(box) == text; }, "xdotool key End shift+Home BackSpace; " + typing);
  }

  // "&Add..." by its access key, the image name, Tab, the description and Enter: the keyboard only.
  void AddFromTheKeyboard(const std::string& name, const std::string& description) {
    const int before = ListViewCount(SearchList());
    ASSERT_TRUE(Activate());
    HWND dialog = nullptr;
    ASSERT_TRUE(Keys("alt+a", [&] {
      dialog = FindMessageBox(app_.Proc().Id(), kAddProcessCaption);
      return dialog != nullptr && FocusOf(dialog) == GetDlgItem(dialog, IDC_TXTPROCESSNAME);
    })) << "Alt+A opened no entry dialog with the focus in its image name";
    ASSERT_TRUE(Type(GetDlgItem(dialog, IDC_TXTPROCESSNAME), name));
    ASSERT_TRUE(Keys("Tab", [&] { return FocusOf(dialog) == GetDlgItem(dialog, IDC_TXTDESCRIPTION); }));
    ASSERT_TRUE(Type(GetDlgItem(dialog, IDC_TXTDESCRIPTION), description));
    ASSERT_TRUE(Keys("Return", [&] { return !IsWindow(dialog) && ListViewCount(SearchList()) == before + 1; }))
        << "Enter did not add the entry";
    EXPECT_EQ(ListViewText(SearchList(), before, 0), name);
    EXPECT_EQ(ListViewText(SearchList(), before, 1), description);
  }

  App app_;
  LinuxShell shell_;
};

TEST_F(Scenario, ADayOfUseThroughTheRealWindow) {
  // 1. A first start: no profile file, the built-in entries only.
  ASSERT_FALSE(FileExists(app_.IniPath()));
  app_.Run();
  HWND main = app_.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  ASSERT_EQ(ListViewCount(SearchList()), 9);

  // 2. Two entries of the user's own, from the keyboard.
  AddFromTheKeyboard("Gadget.exe", "My gadget");
  if (HasFatalFailure()) return;
  AddFromTheKeyboard("Widget.exe", "Widget tool");
  if (HasFatalFailure()) return;
  Screenshot("1-added", {main});

  // 3. A built-in and a user image start; both get a line.
  TempDir sleepers;
  Process vex = StartSleeper(sleepers, "Vex.exe");
  Process gadget = StartSleeper(sleepers, "Gadget.exe");
  ASSERT_TRUE(WaitUntil(
      [&] {
        return Running() == Lines{"Gadget.exe", "Vex.exe"};
      },
      10000ms))
      << "running lines: " << ::testing::PrintToString(Running());
  Screenshot("2-running", {main});

  // 4. Select all, Terminate, and Enter on the question, whose default is Yes.
  ASSERT_TRUE(Activate());
  ASSERT_TRUE(Keys("alt+s", [&] { return AllRunningMarked(); })) << "Alt+S marked nothing";
  HWND question = nullptr;
  ASSERT_TRUE(Keys("alt+t", [&] { return (question = FindMessageBox(app_.Proc().Id(), "Tarnwick")) != nullptr; }))
      << "Alt+T asked nothing";
  EXPECT_EQ(MessageBoxText(question), kQuestion);
  Screenshot("3-question", {main, question});
  ASSERT_TRUE(Keys("Return", [&] { return !IsWindow(question); })) << "Enter did not answer the question";

  // 5. Both processes end, and their lines go at the next tick.
  EXPECT_TRUE(vex.WaitExit(10000ms));
  EXPECT_TRUE(gadget.WaitExit(10000ms));
  EXPECT_TRUE(WaitUntil([&] { return ListViewCount(RunningList()) == 0; }, 10000ms))
      << "running lines: " << ::testing::PrintToString(Running());
  Screenshot("4-terminated", {main});

  // 6. Minimised by the window manager, the window goes to the tray; a double-click on the icon in
  // Wine's tray window brings it back.
  const std::string xWindow = XWindow();
  ASSERT_FALSE(xWindow.empty());
  ASSERT_TRUE(shell_.Input("xdotool windowminimize " + xWindow, [&] {
    return !IsWindowVisible(main) && TrayIconExists(main, kIconId);
  })) << "minimising did not go to the tray";
  HWND tray = nullptr;
  ASSERT_TRUE(WaitUntil(
      [&] {
        tray = FindWindowA(nullptr, kTrayCaption);
        return tray != nullptr && IsWindowVisible(tray);
      },
      10000ms))
      << "no visible tray window";
  Screenshot("5-tray", {tray});
  // Ours is the only icon, in the first place of the row.
  POINT icon{GetSystemMetrics(SM_CXSMICON) / 2 + 2, GetSystemMetrics(SM_CYSMICON) / 2 + 2};
  ClientToScreen(tray, &icon);
  ASSERT_TRUE(shell_.Input(
      "xdotool mousemove " + std::to_string(icon.x) + " " + std::to_string(icon.y) + " click --repeat 2 --delay 100 1",
      [&] { return IsWindowVisible(main) && !IsIconic(main); }))
      << "the double-click on the icon did not bring the window back";
  EXPECT_TRUE(WaitUntil([&] { return !TrayIconExists(main, kIconId); }));

  // 7. File, Exit by their access keys.
  ASSERT_TRUE(Activate());
  ASSERT_TRUE(Keys("alt+f", [&] { return !Open("#32768").empty(); })) << "Alt+F opened no menu";
  const std::vector<HWND> menus = Open("#32768");
  Screenshot("6-file-menu", {main, menus.empty() ? nullptr : menus.front()});
  ASSERT_TRUE(Keys("x", [&] { return !app_.Proc().Running(); })) << "X did not exit";
  EXPECT_EQ(app_.Proc().ExitCode(), 0u);

  // 8. The two entries were saved in the order they were added.
  const std::string profile =
      "[Gadget.exe]\r\nImageName=Gadget.exe\r\nDescription=My gadget\r\n"
      "[Widget.exe]\r\nImageName=Widget.exe\r\nDescription=Widget tool\r\n";
  const std::string saved = ReadFile(app_.IniPath());
  EXPECT_EQ(saved, profile);
  WriteFile(BinDir() + "..\\artifacts\\scenario-Tarnwick.ini", saved);

  // 9. "-a" while a built-in and a user image run: both end, an unlisted one lives on, and the program
  // exits without a window.
  TempDir later;
  Process vex2 = StartSleeper(later, "Vex.exe");
  Process gadget2 = StartSleeper(later, "Gadget.exe");
  Process other = StartSleeper(later, "Unlisted.exe");
  ASSERT_TRUE(vex2.Running() && gadget2.Running() && other.Running());
  Process& run = app_.Run("-a");
  ASSERT_NE(run.Handle(), nullptr);
  std::string shown;
  const bool ended = WaitUntil(
      [&] {
        for (const char* cls : {kMainWindowClass, "#32770", "#32768"}) {
          if (!Open(cls).empty()) shown = cls;
        }
        return !run.Running();
      },
      15000ms);
  ASSERT_TRUE(ended) << "still running";
  EXPECT_EQ(shown, "") << "a window was shown";
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(vex2.WaitExit(10000ms));
  EXPECT_TRUE(gadget2.WaitExit(10000ms));
  EXPECT_TRUE(other.Running());
  EXPECT_EQ(ReadFile(app_.IniPath()), profile);
}

}  // namespace
}  // namespace tarnwick
