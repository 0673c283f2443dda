// The user's own entries end to end: the entry dialog, Add, Edit, Delete, the profile file across runs.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <string>
#include <vector>

#include "common/WideTextWin32.h"
#include "searchlist/frmAddProcess.h"
#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;

constexpr const char* kDuplicateText = "This ImageName has already been added. ";

class EditScenario : public ShownApp {
 protected:
  HWND List() const { return app_.Control(IDC_LSTPROCESS); }
  std::vector<std::string> Names() const { return ListViewColumn(List(), 0); }
  std::vector<std::string> UserNames() const {
    const std::vector<std::string> all = Names();
    return all.size() > 9 ? std::vector<std::string>(all.begin() + 9, all.end()) : std::vector<std::string>{};
  }

  // Presses a main-window button and waits for the entry dialog.
  HWND OpenDialog(int button) {
    PressButton(app_.Control(button));
    return WaitMessageBox(app_.Proc().Id(), kAddProcessCaption, 10000ms);
  }
  static void Fill(HWND dialog, const std::string& name, const std::string& description) {
    SetText(GetDlgItem(dialog, IDC_TXTPROCESSNAME), name);
    SetText(GetDlgItem(dialog, IDC_TXTDESCRIPTION), description);
  }
  static bool WaitClosed(HWND dialog) {
    return WaitUntil([&] { return !IsWindow(dialog); }, 10000ms);
  }
  HWND DuplicateMessage() { return FindMessageBox(app_.Proc().Id(), "Tarnwick"); }
  void AnswerDuplicate(HWND box) {
    EXPECT_EQ(MessageBoxText(box), kDuplicateText);
    AnswerMessageBox(box, IDOK);
    EXPECT_TRUE(WaitClosed(box));
  }
  // Waits until the command's effect shows, or the duplicate message comes up instead (and answers it).
  bool EffectOrDuplicate(const std::function<bool()>& effect) {
    HWND box = nullptr;
    EXPECT_TRUE(WaitUntil([&] { return effect() || (box = DuplicateMessage()) != nullptr; }, 10000ms));
    if (box == nullptr) return true;
    AnswerDuplicate(box);
    return false;
  }
  // For a command that must change nothing: true when the duplicate message came up after all.
  bool DuplicateShownAnyway() {
    // The window answers a sent message only between events, so whatever the command does next has begun.
    DWORD_PTR ignored = 0;
    SendMessageTimeoutA(app_.MainWindow(), WM_NULL, 0, 0, SMTO_NORMAL, 10000, &ignored);
    HWND box = nullptr;
    if (!WaitUntil([&] { return (box = DuplicateMessage()) != nullptr; }, 1000ms)) return false;
    AnswerDuplicate(box);
    return true;
  }
  // Adds through the dialog with OK; false when refused.
  bool Add(const std::string& name, const std::string& description) {
    const std::size_t before = Names().size();
    HWND dialog = OpenDialog(IDC_CMDADD);
    if (dialog == nullptr) return false;
    Fill(dialog, name, description);
    PressButton(GetDlgItem(dialog, IDC_CMDOK));
    EXPECT_TRUE(WaitClosed(dialog));
    return EffectOrDuplicate([&] { return Names().size() == before + 1; });
  }
  // Selects the row (its click enables Edit and Delete for a user row) and opens the dialog with Edit.
  HWND EditRow(int index) {
    SelectListViewItem(List(), index);
    EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(app_.Control(IDC_CMDEDIT)) != FALSE; }));
    return OpenDialog(IDC_CMDEDIT);
  }
};

TEST_F(EditScenario, DialogOpensEmptyCentredOverTheWindowWithItsControlsInTabOrder) {
  HWND main = app_.MainWindow();
  HWND dialog = OpenDialog(IDC_CMDADD);
  ASSERT_NE(dialog, nullptr);
  HWND name = GetDlgItem(dialog, IDC_TXTPROCESSNAME);
  HWND description = GetDlgItem(dialog, IDC_TXTDESCRIPTION);
  EXPECT_TRUE(WaitUntil([&] { return FocusOf(dialog) == name; }));
  EXPECT_EQ(WindowText(name), "");
  EXPECT_EQ(WindowText(description), "");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LBLPROCESSNAME)), "Process Name : ");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_LBLDESCRIPTION)), "Description : ");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CMDOK)), "&OK");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_CMDCANCEL)), "&Cancel");
  EXPECT_GT(SendMessageA(name, EM_GETLIMITTEXT, 0, 0), 1000000);

  // 5325 x 1830 twips at 96 DPI; the boxes sit in the frame at 90, 120.
  const RECT client = ClientRect(dialog);
  EXPECT_EQ(client.right, 355);
  EXPECT_EQ(client.bottom, 122);
  const RECT box = ChildRect(name);
  EXPECT_EQ(box.left, 100);
  EXPECT_EQ(box.top, 24);
  EXPECT_EQ(box.right, 341);
  EXPECT_EQ(box.bottom, 45);
  EXPECT_EQ(ChildRect(GetDlgItem(dialog, IDC_CMDCANCEL)).left, 262);
  EXPECT_EQ(ChildRect(GetDlgItem(dialog, IDC_CMDOK)).top, 92);

  RECT outer{}, owner{};
  GetWindowRect(dialog, &outer);
  GetWindowRect(main, &owner);
  EXPECT_LE(std::abs((outer.left + outer.right) - (owner.left + owner.right)), 2);
  EXPECT_LE(std::abs((outer.top + outer.bottom) - (owner.top + owner.bottom)), 2);

  // Owned by the main window, which waits disabled: no taskbar button, no minimise or maximise.
  EXPECT_EQ(GetWindow(dialog, GW_OWNER), main);
  EXPECT_FALSE(IsWindowEnabled(main));
  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_FALSE(style & (WS_MINIMIZEBOX | WS_MAXIMIZEBOX | WS_THICKFRAME));
  EXPECT_FALSE(GetWindowLongA(dialog, GWL_EXSTYLE) & WS_EX_APPWINDOW);

  EXPECT_EQ(GetNextDlgTabItem(dialog, name, FALSE), description);
  EXPECT_EQ(GetNextDlgTabItem(dialog, description, FALSE), GetDlgItem(dialog, IDC_CMDOK));
  EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDC_CMDOK), FALSE), GetDlgItem(dialog, IDC_CMDCANCEL));
  EXPECT_EQ(GetNextDlgTabItem(dialog, GetDlgItem(dialog, IDC_CMDCANCEL), FALSE), name);

  PressButton(GetDlgItem(dialog, IDC_CMDCANCEL));
  EXPECT_TRUE(WaitClosed(dialog));
  EXPECT_TRUE(WaitUntil([&] { return IsWindowEnabled(main) != FALSE; }));
  EXPECT_TRUE(app_.Close());
}

TEST_F(EditScenario, OkAndEnterAddAtTheEndWhileCancelEscAndTheCloseBoxAddNothing) {
  // Blanks around the texts go: the profile file would drop them and read back a second entry.
  EXPECT_TRUE(Add(" app.exe ", "\tTool "));
  ASSERT_EQ(Names().size(), 10u);
  EXPECT_EQ(ListViewText(List(), 9, 0), "app.exe");
  EXPECT_EQ(ListViewText(List(), 9, 1), "Tool");

  HWND dialog = OpenDialog(IDC_CMDADD);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_TXTPROCESSNAME)), "");  // each showing starts empty
  Fill(dialog, "enter.exe", "by Enter");
  PostKey(GetDlgItem(dialog, IDC_TXTDESCRIPTION), VK_RETURN);
  EXPECT_TRUE(WaitClosed(dialog));
  EXPECT_TRUE(WaitUntil([&] { return Names().size() == 11u; }));

  // Cancel, Esc, the close box: the last would otherwise re-add the previous values and be refused.
  const auto leave = std::vector<std::function<void(HWND)>>{
      [](HWND d) { PressButton(GetDlgItem(d, IDC_CMDCANCEL)); },
      [](HWND d) { PostKey(GetDlgItem(d, IDC_TXTPROCESSNAME), VK_ESCAPE); },
      [](HWND d) { PostMessageA(d, WM_SYSCOMMAND, SC_CLOSE, 0); },
  };
  for (std::size_t i = 0; i < leave.size(); ++i) {
    dialog = OpenDialog(IDC_CMDADD);
    ASSERT_NE(dialog, nullptr) << i;
    Fill(dialog, "never.exe", "x");
    leave[i](dialog);
    EXPECT_TRUE(WaitClosed(dialog)) << i;
    EXPECT_FALSE(DuplicateShownAnyway()) << i;
    EXPECT_EQ(Names().size(), 11u) << i;
  }
  EXPECT_TRUE(app_.Close());
}

TEST_F(EditScenario, AddingANameAlreadyListedInAnyCaseShowsTheMessage) {
  for (const char* name : {"VEX.EXE", "vexsql.exe", "  Vex.exe  "}) EXPECT_FALSE(Add(name, "twin")) << name;
  EXPECT_EQ(Names().size(), 9u);
  EXPECT_TRUE(app_.Close());
}

TEST_F(EditScenario, AnEmptyNameIsRefusedAndTheDialogStaysOpen) {
  HWND dialog = OpenDialog(IDC_CMDADD);
  ASSERT_NE(dialog, nullptr);
  Fill(dialog, "  ", "nameless");
  PressButton(GetDlgItem(dialog, IDC_CMDOK));
  HWND box = WaitMessageBox(app_.Proc().Id(), "Tarnwick");
  ASSERT_NE(box, nullptr);
  EXPECT_EQ(MessageBoxText(box), kEmptyImageNameText);
  AnswerMessageBox(box, IDOK);
  EXPECT_TRUE(WaitClosed(box));
  EXPECT_TRUE(IsWindow(dialog));
  Fill(dialog, "named.exe", "nameless");
  PressButton(GetDlgItem(dialog, IDC_CMDOK));
  EXPECT_TRUE(WaitClosed(dialog));
  EXPECT_TRUE(WaitUntil([&] { return UserNames() == std::vector<std::string>{"named.exe"}; }));
  EXPECT_TRUE(app_.Close());
}

TEST_F(EditScenario, EditRewritesTheRowOnOkAndLeavesItOnCancel) {
  ASSERT_TRUE(Add("app.exe", "Tool"));
  ASSERT_TRUE(Add("other.exe", "Other"));

  HWND dialog = EditRow(9);
  ASSERT_NE(dialog, nullptr);
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_TXTPROCESSNAME)), "app.exe");
  EXPECT_EQ(WindowText(GetDlgItem(dialog, IDC_TXTDESCRIPTION)), "Tool");
  Fill(dialog, "changed.exe", "Changed");
  PostKey(GetDlgItem(dialog, IDC_TXTPROCESSNAME), VK_ESCAPE);
  EXPECT_TRUE(WaitClosed(dialog));
  EXPECT_FALSE(DuplicateShownAnyway());
  EXPECT_EQ(ListViewText(List(), 9, 0), "app.exe");
  EXPECT_EQ(ListViewText(List(), 9, 1), "Tool");

  // Only the letter case of its own name changes: allowed, no message.
  dialog = EditRow(9);
  ASSERT_NE(dialog, nullptr);
  Fill(dialog, "APP.exe", "Tool 2");
  PressButton(GetDlgItem(dialog, IDC_CMDOK));
  EXPECT_TRUE(WaitClosed(dialog));
  EXPECT_TRUE(EffectOrDuplicate([&] { return ListViewText(List(), 9, 0) == "APP.exe"; }));
  EXPECT_EQ(ListViewText(List(), 9, 1), "Tool 2");
  EXPECT_EQ(UserNames(), (std::vector<std::string>{"APP.exe", "other.exe"}));
  // Its former name is free again.
  EXPECT_TRUE(Add("changed.exe", ""));
  EXPECT_TRUE(app_.Close());
}

TEST_F(EditScenario, EditOntoAnotherRowsNameIsRefusedAndTheRowStays) {
  ASSERT_TRUE(Add("a.exe", "A"));
  ASSERT_TRUE(Add("b.exe", "B"));
  for (const char* clash : {"A.EXE", "vex.exe"}) {
    HWND dialog = EditRow(10);
    ASSERT_NE(dialog, nullptr);
    Fill(dialog, clash, "taken");
    PressButton(GetDlgItem(dialog, IDC_CMDOK));
    EXPECT_TRUE(WaitClosed(dialog));
    EXPECT_FALSE(EffectOrDuplicate([&] { return ListViewText(List(), 10, 0) != "b.exe"; })) << clash;
    EXPECT_EQ(ListViewText(List(), 10, 0), "b.exe");
    EXPECT_EQ(ListViewText(List(), 10, 1), "B");
  }
  EXPECT_TRUE(app_.Close());
}

TEST_F(EditScenario, DeleteRemovesTheSelectedRowAtOnceAndNothingWithoutASelection) {
  for (const char* name : {"a.exe", "b.exe", "c.exe"}) ASSERT_TRUE(Add(name, ""));
  SelectListViewItem(List(), 10);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(app_.Control(IDC_CMDDELETE)) != FALSE; }));
  PressButton(app_.Control(IDC_CMDDELETE));
  EXPECT_TRUE(WaitUntil([&] { return Names().size() == 11u; }));
  EXPECT_EQ(UserNames(), (std::vector<std::string>{"a.exe", "c.exe"}));
  EXPECT_EQ(DuplicateMessage(), nullptr);
  // No row is selected now: Delete and Edit do nothing; the buttons keep their state.
  EXPECT_TRUE(IsWindowEnabled(app_.Control(IDC_CMDDELETE)));
  PressButton(app_.Control(IDC_CMDDELETE));
  PressButton(app_.Control(IDC_CMDEDIT));
  EXPECT_EQ(WaitMessageBox(app_.Proc().Id(), kAddProcessCaption, 1000ms), nullptr);
  EXPECT_EQ(UserNames(), (std::vector<std::string>{"a.exe", "c.exe"}));
  EXPECT_TRUE(app_.Close());
}

TEST_F(EditScenario, EntriesComeBackAfterARestartInOrderBelowTheBuiltInRows) {
  ASSERT_TRUE(Add("zeta.exe", "Last letter"));
  ASSERT_TRUE(Add("alpha.exe", ""));
  ASSERT_TRUE(Add("gone.exe", "deleted"));
  SelectListViewItem(List(), 11);
  ASSERT_TRUE(WaitUntil([&] { return IsWindowEnabled(app_.Control(IDC_CMDDELETE)) != FALSE; }));
  PressButton(app_.Control(IDC_CMDDELETE));
  ASSERT_TRUE(WaitUntil([&] { return Names().size() == 11u; }));
  PostCommand(app_.MainWindow(), IDM_FILEITEM0);  // E&xit
  ASSERT_TRUE(app_.Proc().WaitExit(10000ms));
  EXPECT_EQ(ReadFile(app_.IniPath()),
            "[zeta.exe]\r\nImageName=zeta.exe\r\nDescription=Last letter\r\n"
            "[alpha.exe]\r\nImageName=alpha.exe\r\nDescription=\r\n");
  EXPECT_FALSE(FileExists(app_.IniPath() + ".new"));

  app_.Run();
  ASSERT_NE(app_.WaitMainWindow(), nullptr);
  EXPECT_EQ(Names().size(), 11u);
  EXPECT_EQ(Names().front(), "Vex.exe");
  EXPECT_EQ(UserNames(), (std::vector<std::string>{"zeta.exe", "alpha.exe"}));
  EXPECT_EQ(ListViewText(List(), 9, 1), "Last letter");
  EXPECT_TRUE(app_.Close());
}

// A name outside the code page stays itself: typed, shown, saved (as UTF-16) and read back, and no
// program whose name merely looks like it is ended.
TEST_F(EditScenario, ANameInAnyScriptIsKeptAsTypedAndMatchesNoLookAlike) {
  const std::string gadget =
      "G\xC4\x81"
      "dget.exe";
  TempDir elsewhere;
  Process lookAlike = StartSleeper(elsewhere, "Gadget.exe");
  ASSERT_TRUE(WaitReady(lookAlike));
  ASSERT_TRUE(Add(gadget, "\xD0\x94"));
  EXPECT_EQ(UserNames(), (std::vector<std::string>{gadget}));
  ASSERT_TRUE(app_.Close());
  EXPECT_EQ(ReadWideFile(WideFromUtf8(app_.IniPath())).substr(0, 2), "\xFF\xFE");

  app_.Run();
  ASSERT_NE(app_.WaitMainWindow(), nullptr);
  EXPECT_EQ(UserNames(), (std::vector<std::string>{gadget}));
  EXPECT_EQ(ListViewText(List(), 9, 1), "\xD0\x94");
  ASSERT_TRUE(app_.Close());

  Process run = Start(app_.ExePath(), "-a");
  ASSERT_TRUE(run.WaitExit(20000ms));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(lookAlike.Running());
  lookAlike.Kill();
}

TEST(EditSession, EndingTheWindowsSessionSavesTheEntries) {
  App app;
  WriteFile(app.IniPath(), "[kept.exe]\r\nImageName=kept.exe\r\nDescription=k\r\n");
  app.Run();
  HWND main = app.WaitMainWindow();
  ASSERT_NE(main, nullptr);
  DWORD_PTR answer = 0;
  ASSERT_TRUE(SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer));
  EXPECT_EQ(answer, static_cast<DWORD_PTR>(TRUE));
  DeleteFileA(app.IniPath().c_str());  // the save must write it anew
  // Even with the entry dialog open, the session's end saves and ends the program.
  PressButton(GetDlgItem(main, IDC_CMDADD));
  ASSERT_NE(WaitMessageBox(app.Proc().Id(), kAddProcessCaption, 10000ms), nullptr);
  SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer);
  EXPECT_TRUE(app.Proc().WaitExit(10000ms));
  EXPECT_EQ(ReadFile(app.IniPath()), "[kept.exe]\r\nImageName=kept.exe\r\nDescription=k\r\n");
}

// The message comes once the window is made: a session that ends meanwhile saves the whole list.
TEST(EditSession, ASessionEndWhileTheStartsDuplicateMessageIsOpenKeepsEveryEntry) {
  const std::string a = "[a.exe]\r\nImageName=a.exe\r\nDescription=a\r\n";
  const std::string z = "[z.exe]\r\nImageName=z.exe\r\nDescription=z\r\n";
  App app;
  WriteFile(app.IniPath(), a + "[dup]\r\nImageName=vex.exe\r\nDescription=twin\r\n" + z);
  app.Run();
  HWND box = WaitMessageBox(app.Proc().Id(), "Tarnwick", 10000ms);
  ASSERT_NE(box, nullptr);
  HWND main = app.MainWindow();
  ASSERT_NE(main, nullptr);
  DWORD_PTR answer = 0;
  SendMessageTimeoutA(main, WM_QUERYENDSESSION, 0, 0, SMTO_NORMAL, 10000, &answer);
  SendMessageTimeoutA(main, WM_ENDSESSION, TRUE, 0, SMTO_NORMAL, 10000, &answer);
  if (IsWindow(box)) AnswerMessageBox(box, IDOK);  // Windows would have ended the process by now
  EXPECT_TRUE(app.Proc().WaitExit(10000ms));
  EXPECT_EQ(ReadFile(app.IniPath()), a + z);
}

TEST(EditSession, ADuplicateInTheFileIsToldByNameAtAPlainStartAndIsSkippedSilentlyWithA) {
  const std::string file =
      "[dup]\r\nImageName=vex.exe\r\nDescription=twin\r\n[z.exe]\r\nImageName=z.exe\r\nDescription=z\r\n";
  {
    App app;
    WriteFile(app.IniPath(), file);
    app.Run();
    HWND box = WaitMessageBox(app.Proc().Id(), "Tarnwick", 10000ms);
    ASSERT_NE(box, nullptr);
    EXPECT_EQ(MessageBoxText(box),
              "Tarnwick.ini lists these image names more than once; each is listed once, as first given: "
              "\"vex.exe\".");
    AnswerMessageBox(box, IDOK);
    ASSERT_NE(app.WaitMainWindow(), nullptr);
    EXPECT_EQ(ListViewColumn(app.Control(IDC_LSTPROCESS), 0).back(), "z.exe");
    EXPECT_TRUE(app.Close());
  }
  App app;
  WriteFile(app.IniPath(), file);
  app.Run("-a");
  // The load has passed the duplicate once z.exe is listed; a box would have stopped it before.
  EXPECT_TRUE(
      WaitUntil([&] { return !app.Proc().Running() || ListViewCount(app.Control(IDC_LSTPROCESS)) == 10; }, 10000ms));
  EXPECT_EQ(FindMessageBox(app.Proc().Id(), "Tarnwick"), nullptr);
  if (app.Proc().Running()) {
    EXPECT_TRUE(app.Close());
  }
  EXPECT_TRUE(app.Proc().WaitExit(10000ms));
  EXPECT_EQ(ReadFile(app.IniPath()), "[z.exe]\r\nImageName=z.exe\r\nDescription=z\r\n");
}

}  // namespace
}  // namespace tarnwick
