// Starting Tarnwick.exe: the main window, its first look, the single instance and the switches.
#include <windows.h>

#include <gtest/gtest.h>

#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;

const std::vector<std::string> kBuiltInNames = {"Vex.exe",       "VexSQL.exe",       "VexOPC.exe",
                                                "VexUPnP.exe",   "QuilListener.exe", "GwVexpCorba.exe",
                                                "VexScript.exe", "VexScrMan.exe",    "Tallyboard.exe"};

TEST(Startup, PlainStartShowsTheWindowWithTheBuiltInEntries) {
  App app;
  ASSERT_TRUE(app.Run().Running());
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  EXPECT_EQ(WindowText(main), "Velm Tarnwick");
  const RECT client = ClientRect(main);
  EXPECT_EQ(client.right, 433);   // 6495 twips at 96 DPI
  EXPECT_EQ(client.bottom, 361);  // 5415 twips

  HWND search = app.Control(IDC_LSTPROCESS);
  EXPECT_EQ(ListViewColumn(search, 0), kBuiltInNames);
  EXPECT_EQ(ListViewText(search, 0, 1), "Vex Engine");
  EXPECT_EQ(ListViewText(search, 8, 1), "VexScript Panel");
  EXPECT_EQ(ListViewCount(app.Control(IDC_LSTRESIDELIST)), 0);
  // The first row is built in: editing and deleting start disabled.
  EXPECT_FALSE(IsWindowEnabled(app.Control(IDC_CMDEDIT)));
  EXPECT_FALSE(IsWindowEnabled(app.Control(IDC_CMDDELETE)));
  EXPECT_TRUE(IsWindowEnabled(app.Control(IDC_CMDADD)));
  EXPECT_EQ(WindowText(app.Control(IDC_CMDTERMINATE)), "&Terminate");
  EXPECT_EQ(WindowText(app.Control(IDC_LBLPROCESSLIST)), "Search Process :");
  EXPECT_EQ(WindowText(app.Control(IDC_LBLPROCESSRESIDE)), "Running Process :");
  // Columns: 0.4 and 0.55 of the list's designed 4845 twips, the second then lagging one layout pass.
  EXPECT_EQ(ListViewColumnWidth(search, 0), 129);
  EXPECT_TRUE(app.Close());
}

TEST(Startup, FirstLayoutPlacesTheControlsInPixels) {
  App app;
  app.Run();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  const RECT upper = ChildRect(app.Control(IDC_LSTPROCESS));
  EXPECT_EQ(upper.left, 6);
  EXPECT_EQ(upper.top, 24);
  EXPECT_EQ(upper.right - upper.left, 328);
  EXPECT_EQ(upper.bottom - upper.top, 191);
  const RECT bar = ChildRect(app.Control(IDC_PICSPLITTER));
  EXPECT_EQ(bar.top, upper.bottom);
  EXPECT_EQ(bar.bottom - bar.top, 5);
  const RECT lower = ChildRect(app.Control(IDC_LSTRESIDELIST));
  EXPECT_EQ(lower.top, 236);     // 3540 twips
  EXPECT_EQ(lower.bottom, 352);  // 5280 twips
  EXPECT_EQ(ChildRect(app.Control(IDC_CMDADD)).left, 338);
  EXPECT_EQ(ChildRect(app.Control(IDC_CMDCHECKALL0)).top, 236);
  EXPECT_EQ(ChildRect(app.Control(IDC_CMDCHECKALL1)).top, 265);
  EXPECT_EQ(ChildRect(app.Control(IDC_CMDTERMINATE)).top, 296);
  EXPECT_TRUE(app.Close());
}

TEST(Startup, ColumnsStayWithinTheListAcrossResizes) {
  App app;
  app.Run();
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  HWND search = app.Control(IDC_LSTPROCESS);
  RECT frame{};
  GetWindowRect(main, &frame);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  // Wider, narrower and back: each size is laid out again, the second column lagging one pass behind.
  for (int extra : {60, -30, 0, 0}) {
    SetWindowPos(main, nullptr, 0, 0, width + extra, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    EXPECT_TRUE(WaitUntil([&] { return ChildRect(app.Control(IDC_CMDADD)).right == ClientRect(main).right - 6; }));
    const int columns = ListViewColumnWidth(search, 0) + ListViewColumnWidth(search, 1);
    EXPECT_LE(columns, ClientRect(search).right) << extra;
    EXPECT_EQ(GetWindowLongA(search, GWL_STYLE) & WS_HSCROLL, 0) << extra;
  }
  EXPECT_TRUE(app.Close());
}

// Both would read and write the one Tarnwick.ini: the last save would win.
TEST(Startup, OneTarnwickPerFolderWhateverTheExeIsCalledAndHowLongTheFolderIs) {
  const struct {
    std::size_t folderLength;  // 0: the test's own folder
    const char* second;
  } cases[] = {{0, "Tarnwick.exe"}, {0, "Copy.exe"}, {234, "Tarnwick.exe"}};
  for (const auto& c : cases) {
    App app("Tarnwick.exe", c.folderLength);
    app.Run();
    HWND first = app.WaitMainWindow();
    ASSERT_NE(first, nullptr) << c.second << " " << c.folderLength;
    const std::string second = app.Folder() + c.second;
    CopyFileA(app.ExePath().c_str(), second.c_str(), TRUE);
    Process other = Start(second);
    ASSERT_TRUE(other.WaitExit(5000ms)) << c.second << " " << c.folderLength;
    EXPECT_EQ(other.ExitCode(), 2u) << c.second << " " << c.folderLength;
    EXPECT_EQ(app.MainWindow(), first);
    EXPECT_TRUE(app.Close());
  }
}

// Without its window the program could only wait forever, holding the folder's mark. Under Wine a
// window needs an X display: started without one, Tarnwick can make none.
TEST(Startup, WithoutAWindowTheStartEndsAtOnceWithCode3) {
  // A shown window keeps Wine's desktop process alive meanwhile: one started by the run without a
  // display would have none either, and no later window could be made.
  App shown;
  shown.Run();
  ASSERT_NE(shown.WaitMainWindow(), nullptr);
  App app;
  LinuxShell shell;
  std::string exitCode;
  ASSERT_TRUE(shell.Run("env -u DISPLAY timeout 15 " + WineCommand() + " " + UnixPath(app.ExePath()) + " -a; echo $?",
                        &exitCode));
  // The code comes with its reason, on standard output and in the log.
  const std::string line = "\tcould not start\texit code 3: the main window could not be made\t";
  EXPECT_NE(exitCode.find(line), std::string::npos) << exitCode;
  EXPECT_TRUE(exitCode.ends_with("\r\n3\n")) << exitCode;
  EXPECT_NE(ReadFile(app.Dir().File("Tarnwick.log")).find(line), std::string::npos);
  EXPECT_TRUE(shown.Close());
}

TEST(Startup, AFirstArgumentThatIsNoSwitchIsAPlainStart) {
  for (const char* args : {"x -a", "\"\" -a"}) {
    App app;
    app.Run(args);
    EXPECT_NE(app.WaitMainWindow(), nullptr) << args;
    EXPECT_TRUE(app.Close()) << args;
  }
}

TEST(Startup, CloseEndsTheProgram) {
  App app;
  app.Run();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  PostCommand(app.MainWindow(), IDM_FILEITEM0);
  EXPECT_TRUE(app.Proc().WaitExit(10000ms));
}

}  // namespace
}  // namespace tarnwick
