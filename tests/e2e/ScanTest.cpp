// The scan cycle as a user meets it: running sleepers appear in the running list, marks, Select all,
// Terminate with its question, and the unattended "-a" run.
#include <windows.h>

#include <gtest/gtest.h>

#include "searchlist/frmAddProcess.h"
#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

constexpr const char* kQuestion = "Selected all Processes will be terminated. Are you sure?";

// Tarnwick shown, with its own folder, and the sleepers of one test in another.
class Scan : public ShownApp {
 protected:
  HWND Reside() const { return app_.Control(IDC_LSTRESIDELIST); }
  Lines Shown() const { return ListViewColumn(Reside()); }
  bool WaitShown(const Lines& lines) const {
    return WaitUntil([&] { return Shown() == lines; }, 8000ms);
  }
  int LineOf(const std::string& text) const {
    const Lines lines = Shown();
    for (std::size_t i = 0; i < lines.size(); ++i) {
      if (lines[i] == text) return static_cast<int>(i);
    }
    return -1;
  }
  // Starts a sleeper of another listed image and waits for its line: proof that a tick has run since.
  void WaitForTick(const std::string& witness) {
    witnesses_.push_back(StartSleeper(sleepers_, witness));
    ASSERT_TRUE(WaitUntil([&] { return LineOf(witness) >= 0; }, 8000ms)) << witness;
  }
  HWND PressTerminateAndWaitForTheQuestion() {
    PressButton(app_.Control(IDC_CMDTERMINATE));
    HWND box = WaitMessageBox(app_.Proc().Id(), "Tarnwick");
    EXPECT_NE(box, nullptr);
    if (box != nullptr) {
      EXPECT_EQ(MessageBoxText(box), kQuestion);
    }
    return box;
  }
  void TearDown() override { EXPECT_TRUE(app_.Close()); }

  TempDir sleepers_;
  std::vector<Process> witnesses_;
};

TEST_F(Scan, ARunningListedImageHasOneUnmarkedLineWhileAnyOfItsProcessesRuns) {
  TempDir other;
  Process first = StartSleeper(sleepers_, "VexSQL.exe");
  ASSERT_TRUE(WaitShown({"VexSQL.exe"}));
  EXPECT_FALSE(ListViewChecked(Reside(), 0));
  EXPECT_EQ(ListViewItemData(Reside(), 0), 2);  // the entry's 1-based position

  Process second = StartSleeper(other, "VexSQL.exe");
  WaitForTick("Vex.exe");
  EXPECT_EQ(Shown(), (Lines{"VexSQL.exe", "Vex.exe"}));  // appended, not sorted; one line per image
  EXPECT_EQ(ListViewItemData(Reside(), 1), 1);

  first.Kill();
  WaitForTick("Tallyboard.exe");
  EXPECT_EQ(Shown(), (Lines{"VexSQL.exe", "Vex.exe", "Tallyboard.exe"}));
  second.Kill();
  EXPECT_TRUE(WaitShown({"Vex.exe", "Tallyboard.exe"}));
  EXPECT_EQ(ListViewItemData(Reside(), 1), 9);
}

TEST_F(Scan, TerminateAsksAndYesEndsOneProcessOfEachMarkedLine) {
  Process vex = StartSleeper(sleepers_, "Vex.exe");
  Process opc = StartSleeper(sleepers_, "VexOPC.exe");
  ASSERT_TRUE(WaitUntil([&] { return LineOf("Vex.exe") >= 0 && LineOf("VexOPC.exe") >= 0; }, 8000ms));
  SetListViewChecked(Reside(), LineOf("Vex.exe"), true);
  ASSERT_TRUE(ListViewChecked(Reside(), LineOf("Vex.exe")));

  HWND box = PressTerminateAndWaitForTheQuestion();
  ASSERT_NE(box, nullptr);
  // Yes and No, Yes the default, with the question icon.
  EXPECT_NE(GetDlgItem(box, IDYES), nullptr);
  EXPECT_NE(GetDlgItem(box, IDNO), nullptr);
  EXPECT_EQ(GetWindowLongA(GetDlgItem(box, IDYES), GWL_STYLE) & BS_TYPEMASK, BS_DEFPUSHBUTTON);
  EXPECT_EQ(GetWindowLongA(GetDlgItem(box, IDNO), GWL_STYLE) & BS_TYPEMASK, BS_PUSHBUTTON);
  AnswerMessageBox(box, IDYES);

  ASSERT_TRUE(vex.WaitExit(5000ms));
  EXPECT_EQ(vex.ExitCode(), 0u);
  EXPECT_TRUE(WaitShown({"VexOPC.exe"}));
  EXPECT_TRUE(opc.Running());
}

// The check boxes belong to the model: a click and the space bar ask it, and Terminate ends what it marked.
TEST_F(Scan, AClickOnTheCheckBoxAndTheSpaceBarTickTheLineForTerminate) {
  Process vex = StartSleeper(sleepers_, "Vex.exe");
  ASSERT_TRUE(WaitShown({"Vex.exe"}));
  const RECT item = ListViewItemRect(Reside(), 0);
  const auto clickAt = [&](int x) {
    POINT point{item.left + x, (item.top + item.bottom) / 2};
    ClientToScreen(Reside(), &point);
    return "xdotool mousemove " + std::to_string(point.x) + " " + std::to_string(point.y) + " click 1";
  };
  LinuxShell shell;
  // The text selects the line, the space bar ticks the selected one; the box at the left end ticks its own.
  ASSERT_TRUE(shell.Input(clickAt(40), [&] { return ListViewSelected(Reside(), 0); }));
  ASSERT_TRUE(shell.Input("xdotool key space", [&] { return ListViewChecked(Reside(), 0); }));
  ASSERT_TRUE(shell.Input("xdotool key space", [&] { return !ListViewChecked(Reside(), 0); }));
  ASSERT_TRUE(shell.Input(clickAt(8), [&] { return ListViewChecked(Reside(), 0); }));
  AnswerMessageBox(PressTerminateAndWaitForTheQuestion(), IDYES);
  EXPECT_TRUE(vex.WaitExit(5000ms));
}

TEST_F(Scan, NoEndsNothingAndKeepsTheMarks) {
  Process vex = StartSleeper(sleepers_, "Vex.exe");
  ASSERT_TRUE(WaitShown({"Vex.exe"}));
  SetListViewChecked(Reside(), 0, true);
  HWND box = PressTerminateAndWaitForTheQuestion();
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box, IDNO);
  ASSERT_TRUE(WaitUntil([&] { return FindMessageBox(app_.Proc().Id(), "Tarnwick") == nullptr; }));
  WaitForTick("VexSQL.exe");
  EXPECT_TRUE(vex.Running());
  EXPECT_EQ(Shown(), (Lines{"Vex.exe", "VexSQL.exe"}));
  EXPECT_TRUE(ListViewChecked(Reside(), 0));
  EXPECT_FALSE(ListViewChecked(Reside(), 1));
}

TEST_F(Scan, TerminateWithNothingMarkedStillAsksAndEndsNothing) {
  Process vex = StartSleeper(sleepers_, "Vex.exe");
  ASSERT_TRUE(WaitShown({"Vex.exe"}));
  HWND box = PressTerminateAndWaitForTheQuestion();
  ASSERT_NE(box, nullptr);
  AnswerMessageBox(box, IDYES);
  WaitForTick("VexSQL.exe");
  EXPECT_TRUE(vex.Running());
  EXPECT_EQ(Shown(), (Lines{"Vex.exe", "VexSQL.exe"}));
}

TEST_F(Scan, SelectAllAndUnselectAllMarkAndClearEveryLine) {
  // On an empty list both do nothing, and ask nothing.
  PressButton(app_.Control(IDC_CMDCHECKALL0));
  PressButton(app_.Control(IDC_CMDCHECKALL1));
  Process vex = StartSleeper(sleepers_, "Vex.exe");
  Process quil = StartSleeper(sleepers_, "QuilListener.exe");
  ASSERT_TRUE(WaitUntil([&] { return Shown().size() == 2; }, 8000ms));
  EXPECT_TRUE(TopLevelWindows(app_.Proc().Id(), "#32770").empty());

  PressButton(app_.Control(IDC_CMDCHECKALL0));
  ASSERT_TRUE(WaitUntil([&] { return ListViewChecked(Reside(), 0) && ListViewChecked(Reside(), 1); }));
  WaitForTick("VexUPnP.exe");  // marks outlive ticks; the new line comes unmarked
  EXPECT_TRUE(ListViewChecked(Reside(), 0));
  EXPECT_TRUE(ListViewChecked(Reside(), 1));
  EXPECT_FALSE(ListViewChecked(Reside(), 2));

  PressButton(app_.Control(IDC_CMDCHECKALL1));
  ASSERT_TRUE(WaitUntil([&] { return !ListViewChecked(Reside(), 0) && !ListViewChecked(Reside(), 1); }));
  EXPECT_FALSE(ListViewChecked(Reside(), 2));
  EXPECT_EQ(Shown().size(), 3u);
}

TEST_F(Scan, TwoProcessesOfAMarkedImageTakeTwoTerminates) {
  TempDir other;
  Process first = StartSleeper(sleepers_, "VexScript.exe");
  Process second = StartSleeper(other, "VexScript.exe");
  ASSERT_TRUE(WaitShown({"VexScript.exe"}));
  SetListViewChecked(Reside(), 0, true);

  AnswerMessageBox(PressTerminateAndWaitForTheQuestion(), IDYES);
  ASSERT_TRUE(WaitUntil([&] { return !first.Running() || !second.Running(); }));
  WaitForTick("Vex.exe");
  EXPECT_NE(first.Running(), second.Running());
  EXPECT_EQ(Shown(), (Lines{"VexScript.exe", "Vex.exe"}));
  EXPECT_TRUE(ListViewChecked(Reside(), 0));  // the line stays, still marked

  AnswerMessageBox(PressTerminateAndWaitForTheQuestion(), IDYES);
  EXPECT_TRUE(first.WaitExit(5000ms));
  EXPECT_TRUE(second.WaitExit(5000ms));
  EXPECT_TRUE(WaitShown({"Vex.exe"}));
}

// The box's modal loop keeps the timer going: the list stays live, and Yes ends what is marked by then.
TEST_F(Scan, TicksGoOnWhileTheQuestionIsOpenAndYesTakesTheListAsItIsThen) {
  Process vex = StartSleeper(sleepers_, "Vex.exe");
  ASSERT_TRUE(WaitShown({"Vex.exe"}));
  SetListViewChecked(Reside(), 0, true);
  HWND box = PressTerminateAndWaitForTheQuestion();
  ASSERT_NE(box, nullptr);

  Process sql = StartSleeper(sleepers_, "VexSQL.exe");
  ASSERT_TRUE(WaitShown({"Vex.exe", "VexSQL.exe"}));
  SetListViewChecked(Reside(), 1, true);
  // A second press while the box is open asks nothing more.
  PressButton(app_.Control(IDC_CMDTERMINATE));
  WaitForTick("VexOPC.exe");
  EXPECT_EQ(TopLevelWindows(app_.Proc().Id(), "#32770").size(), 1u);
  ASSERT_TRUE(IsWindow(box));

  AnswerMessageBox(box, IDYES);
  EXPECT_TRUE(vex.WaitExit(5000ms));
  EXPECT_TRUE(sql.WaitExit(5000ms));
  EXPECT_TRUE(WaitShown({"VexOPC.exe"}));
  EXPECT_TRUE(TopLevelWindows(app_.Proc().Id(), "#32770").empty());
}

// Two user entries after the nine built-in ones, at positions 10 and 11.
constexpr const char* kUserEntries =
    "[Custom.exe]\r\nImageName=Custom.exe\r\nDescription=Mine\r\n"
    "[Helper.exe]\r\nImageName=Helper.exe\r\nDescription=Also mine\r\n";

TEST(ItemClick, UserRowsEnableEditAndDeleteAndBuiltInRowsDisableThem) {
  App app;
  WriteFile(app.IniPath(), kUserEntries);
  app.Run();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  HWND search = app.Control(IDC_LSTPROCESS);
  ASSERT_EQ(ListViewCount(search), 11);
  for (int row : {9, 2, 10, 0}) {
    SelectListViewItem(search, row);
    const bool user = row >= 9;
    EXPECT_TRUE(WaitUntil([&] { return (IsWindowEnabled(app.Control(IDC_CMDEDIT)) != FALSE) == user; })) << row;
    EXPECT_EQ(IsWindowEnabled(app.Control(IDC_CMDDELETE)) != FALSE, user) << row;
  }
  EXPECT_TRUE(app.Close());
}

// Deleting an entry takes its line, and the lines of later entries stay tied to their entries.
TEST(EntryDeleted, TheRunningListFollowsTheRemainingEntries) {
  TempDir dir;
  Process custom = StartSleeper(dir, "Custom.exe");
  Process helper = StartSleeper(dir, "Helper.exe");
  App app;
  WriteFile(app.IniPath(), kUserEntries);
  app.Run();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  HWND reside = app.Control(IDC_LSTRESIDELIST);
  ASSERT_TRUE(WaitUntil([&] { return ListViewColumn(reside).size() == 2; }, 8000ms));
  const int helperLine = ListViewText(reside, 0) == "Helper.exe" ? 0 : 1;
  SetListViewChecked(reside, helperLine, true);

  SelectListViewItem(app.Control(IDC_LSTPROCESS), 9);  // Custom.exe
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(app.Control(IDC_CMDDELETE)) != FALSE; }));
  PressButton(app.Control(IDC_CMDDELETE));
  ASSERT_TRUE(WaitUntil([&] { return ListViewColumn(reside) == std::vector<std::string>{"Helper.exe"}; }));
  EXPECT_EQ(ListViewItemData(reside, 0), 10);
  EXPECT_TRUE(ListViewChecked(reside, 0));
  EXPECT_TRUE(custom.Running());  // deleting an entry ends nothing

  helper.Kill();
  EXPECT_TRUE(WaitUntil([&] { return ListViewCount(reside) == 0; }, 8000ms));
  EXPECT_TRUE(app.Close());
}

// Edit gives an entry another image: its line must not stay, or Terminate would end an image that is
// no longer listed. The new image gets its line from the next tick.
TEST(EntryEdited, ARenamedEntryLosesTheOldImagesLineAndGetsTheNewOnes) {
  TempDir dir;
  Process alpha = StartSleeper(dir, "Alpha.exe");
  Process beta = StartSleeper(dir, "Beta.exe");
  App app;
  WriteFile(app.IniPath(), "[Alpha.exe]\r\nImageName=Alpha.exe\r\nDescription=A\r\n");
  app.Run();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  HWND reside = app.Control(IDC_LSTRESIDELIST);
  ASSERT_TRUE(WaitUntil([&] { return ListViewColumn(reside) == std::vector<std::string>{"Alpha.exe"}; }, 8000ms));

  SelectListViewItem(app.Control(IDC_LSTPROCESS), 9);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(app.Control(IDC_CMDEDIT)) != FALSE; }));
  PressButton(app.Control(IDC_CMDEDIT));
  HWND dialog = WaitMessageBox(app.Proc().Id(), kAddProcessCaption, 10000ms);
  ASSERT_NE(dialog, nullptr);
  SetText(GetDlgItem(dialog, IDC_TXTPROCESSNAME), "Beta.exe");
  PressButton(GetDlgItem(dialog, IDC_CMDOK));
  EXPECT_TRUE(WaitUntil([&] { return ListViewColumn(reside) == std::vector<std::string>{"Beta.exe"}; }, 8000ms));
  EXPECT_TRUE(alpha.Running());
  EXPECT_TRUE(app.Close());
}

// Runs "Tarnwick.exe -a" and watches it until it ends; false when it never ended or showed a window.
bool RunsUnattended(App& app, std::string& failure) {
  Process& run = app.Run("-a");
  if (run.Handle() == nullptr) {
    failure = "did not start";
    return false;
  }
  bool shown = false;
  const bool ended = WaitUntil(
      [&] {
        shown = shown || !TopLevelWindows(run.Id(), kMainWindowClass).empty() ||
                !TopLevelWindows(run.Id(), "#32770").empty();
        return !run.Running();
      },
      10000ms);
  if (!ended) failure = "still running after 10 s";
  if (shown) failure = "showed a window";
  return ended && !shown && run.ExitCode() == 0;
}

TEST(AutoRun, EndsOneProcessOfEachRunningListedImageWithoutAWindowAndExits) {
  TempDir dir1, dir2;
  Process vex1 = StartSleeper(dir1, "Vex.exe");
  Process vex2 = StartSleeper(dir2, "Vex.exe");
  Process panel = StartSleeper(dir1, "Tallyboard.exe");
  Process wide = StartSleeper(dir1, "VexSQL.exe", true);
  Process other = StartSleeper(dir1, "Unlisted.exe");
  Process mine = StartSleeper(dir1, "Custom.exe");
  App app;
  WriteFile(app.IniPath(), kUserEntries);
  std::string failure;
  EXPECT_TRUE(RunsUnattended(app, failure)) << failure;
  EXPECT_TRUE(panel.WaitExit(5000ms));
  EXPECT_TRUE(wide.WaitExit(5000ms));
  EXPECT_TRUE(mine.WaitExit(5000ms));
  // Exactly one terminate pass: one of the two processes of one image is left.
  EXPECT_TRUE(WaitUntil([&] { return !vex1.Running() || !vex2.Running(); }));
  EXPECT_NE(vex1.Running(), vex2.Running());
  EXPECT_TRUE(other.Running());
}

TEST(AutoRun, WithNothingListedRunningExitsHavingEndedNothing) {
  TempDir dir;
  Process other = StartSleeper(dir, "Unlisted.exe");
  App app;
  std::string failure;
  EXPECT_TRUE(RunsUnattended(app, failure)) << failure;
  EXPECT_TRUE(other.Running());
}

}  // namespace
}  // namespace tarnwick
