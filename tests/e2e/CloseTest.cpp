// Close before force and the folder scope with the real exe: a program with a window is asked and closes,
// one that refuses is forced after the grace time, a windowless one goes at once; "-k FOLDER" ends only
// the install inside it; what cannot be followed on the command line is code 5.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/Driver.h"
#include "ui/frmMainIds.h"

namespace tarnwick {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

// Runs Tarnwick to its end as a script would: its exit status, or -1 when it did not end in time.
int RunToEnd(const App& app, const std::string& args, HANDLE output = nullptr,
             std::chrono::milliseconds timeout = 20000ms) {
  Process run = Start(app.ExePath(), args, output);
  return run.WaitExit(timeout) ? static_cast<int>(run.ExitCode()) : -1;
}

// The log's lines without their time: "source<TAB>image<TAB>process id<TAB>what[<TAB>why]".
Lines LogOf(const App& app) {
  Lines lines = FileLines(app.Dir().File("Tarnwick.log"));
  for (std::string& line : lines) line = LogBody(line);
  return lines;
}
bool Logged(const Lines& log, const std::string& start) {
  return std::any_of(log.begin(), log.end(), [&](const std::string& line) { return line.rfind(start, 0) == 0; });
}
// A process id as a line writes it, with its session: the test's own, which its children share.
std::string Id(DWORD id) {
  DWORD session = 0;
  ProcessIdToSessionId(GetCurrentProcessId(), &session);
  return std::to_string(id) + "\t" + std::to_string(session);
}

// The windowed test program under an image name, with its words (see Windowed.cpp). Started once its
// windows exist.
Process StartWindowed(const TempDir& dir, const std::string& imageName, const std::string& words = "",
                      std::size_t windows = 1) {
  const std::string target = dir.File(imageName);
  CopyFileA((BinDir() + "windowed.exe").c_str(), target.c_str(), FALSE);
  Process process = Start(target, words);
  const DWORD id = process.Id();
  EXPECT_TRUE(WaitUntil([&] { return TopLevelWindows(id, "TarnwickTestWindowed", false).size() == windows; }))
      << imageName;
  return process;
}

TEST(Close, AutoClosesTheProgramThatCooperatesForcesTheOneThatRefusesAndEndsAWindowlessOneAtOnce) {
  TempDir dir;
  Process cooperates = StartWindowed(dir, "Vex.exe");
  Process refuses = StartWindowed(dir, "Tallyboard.exe", "refuse");
  Process sleeper = StartSleeper(dir, "VexSQL.exe");
  ASSERT_TRUE(WaitReady(sleeper));
  App app;
  Process run = Start(app.ExePath(), "-a /GRACE:2");
  // The windowless one is gone while the refusing one still has its grace time.
  EXPECT_TRUE(sleeper.WaitExit(10000ms));
  EXPECT_TRUE(refuses.Running());
  ASSERT_TRUE(run.WaitExit(20000ms));
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(cooperates.WaitExit(0ms));
  EXPECT_TRUE(refuses.WaitExit(0ms));
  EXPECT_EQ(ReadFile(dir.File("Vex.exe.mark")), "endsession");  // it saved
  EXPECT_FALSE(FileExists(dir.File("Tallyboard.exe.mark")));
  const Lines log = LogOf(app);
  EXPECT_EQ(log.size(), 5u);
  EXPECT_TRUE(Logged(log, "-a\tVexSQL.exe\t" + Id(sleeper.Id()) + "\tended"));
  EXPECT_TRUE(Logged(log, "-a\tVex.exe\t" + Id(cooperates.Id()) + "\tclosed"));
  EXPECT_TRUE(Logged(log, "-a\tTallyboard.exe\t" + Id(refuses.Id()) + "\tforced after 2."));
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
    return line.size() > 11 && line.compare(line.size() - 11, 11, "\tit refused") == 0;
  }));
}

TEST(Close, TerminateInTheWindowAsksFirstWithinItsWaitAndNamesWhatHadToBeForced) {
  TempDir dir;
  Process cooperates = StartWindowed(dir, "Vex.exe");
  Process refuses = StartWindowed(dir, "Tallyboard.exe", "refuse");
  App app;
  app.Run();
  HWND window = app.WaitMainWindow();
  ASSERT_NE(window, nullptr);
  HWND lines = app.Control(IDC_LSTRESIDELIST);
  ASSERT_TRUE(WaitUntil([&] { return ListViewCount(lines) == 2; }, 10000ms));
  PressButton(app.Control(IDC_CMDCHECKALL0));
  ASSERT_TRUE(WaitUntil([&] { return ListViewChecked(lines, 1); }));
  PressButton(app.Control(IDC_CMDTERMINATE));
  HWND question = WaitMessageBox(app.Proc().Id(), "Tarnwick");
  ASSERT_NE(question, nullptr);
  const auto asked = std::chrono::steady_clock::now();
  AnswerMessageBox(question, IDYES);
  // Meanwhile the title of the running list says what Terminate waits for.
  EXPECT_TRUE(WaitUntil([&] {
    return WindowText(app.Control(IDC_LBLPROCESSRESIDE)).find("Waiting for Tallyboard.exe") != std::string::npos;
  }));

  // The answer's box, not the question's on its way out.
  HWND told = nullptr;
  EXPECT_TRUE(WaitUntil(
      [&] {
        told = FindMessageBox(app.Proc().Id(), "Tarnwick");
        return told != nullptr && told != question;
      },
      10000ms));
  ASSERT_NE(told, nullptr);
  EXPECT_LT(std::chrono::steady_clock::now() - asked, 8000ms);  // about 2 s of grace, then the force
  const std::string text = MessageBoxText(told);
  EXPECT_NE(text.find("had to be ended by force"), std::string::npos) << text;
  EXPECT_NE(text.find("Tallyboard.exe (process " + std::to_string(refuses.Id()) + "): it refused"), std::string::npos)
      << text;
  EXPECT_EQ(text.find("Vex.exe"), std::string::npos) << text;
  AnswerMessageBox(told, IDOK);
  EXPECT_TRUE(cooperates.WaitExit(0ms));
  EXPECT_TRUE(refuses.WaitExit(0ms));
  EXPECT_EQ(ReadFile(dir.File("Vex.exe.mark")), "endsession");
  const Lines log = LogOf(app);
  EXPECT_TRUE(Logged(log, "Terminate\tVex.exe\t" + Id(cooperates.Id()) + "\tclosed"));
  EXPECT_TRUE(Logged(log, "Terminate\tTallyboard.exe\t" + Id(refuses.Id()) + "\tforced after 2."));
  EXPECT_TRUE(app.Close());
}

// The 21.6 s: twelve windows that each take 0.9 s to agree. Asked within the limit, the program
// gets WM_CLOSE in time and the run ends about when /limit says.
TEST(Close, TwelveSlowWindowsEndWithinTheLimit) {
  TempDir dir;
  Process slow = StartWindowed(dir, "Vex.exe", "slow:900 windows:12", 12);
  App app;
  Process run = Start(app.ExePath(), "-k /limit:3 /grace:5");
  ASSERT_TRUE(run.WaitExit(6000ms));  // never the sum of its questions
  EXPECT_EQ(run.ExitCode(), 0u);
  EXPECT_TRUE(slow.WaitExit(0ms));
}

// A program whose only window is hidden, and one that takes 3 s to save, asked beside eleven slow ones:
// it is asked, and its grace time runs from its own WM_CLOSE, so it saves and is never forced.
TEST(Close, AHiddenProgramThatTakesItsTimeToSaveIsAskedBesideSlowOnesAndNotForced) {
  TempDir dir;
  std::vector<Process> slow;
  for (int i = 0; i < 11; ++i) slow.push_back(StartWindowed(dir, "VexSQL.exe", "slow:900"));
  Process saver = StartWindowed(dir, "Vex.exe", "hidden save:3000");
  App app;
  EXPECT_EQ(RunToEnd(app, "-k /grace:5"), 0);
  EXPECT_TRUE(saver.WaitExit(0ms));
  EXPECT_EQ(ReadFile(dir.File("Vex.exe.mark")), "endsession");
  const Lines log = LogOf(app);
  EXPECT_TRUE(Logged(log, "-k\tVex.exe\t" + Id(saver.Id()) + "\tclosed")) << log.size();
  for (const Process& p : slow) EXPECT_TRUE(p.WaitExit(0ms));
}

// /tree: a watchdog of the list, its helper (another watchdog) and the helper's worker are ended, the
// root first so that nothing starts again; a process whose parent left before the run, and whose parent's
// id may since have gone to one of the tree, is left alone.
TEST(Tree, KillEndsTheChildAndGrandchildAndLeavesAnOrphan) {
  TempDir dir;
  const auto copy = [&](const char* from, const char* to) {
    CopyFileA((BinDir() + from).c_str(), dir.File(to).c_str(), FALSE);
    return "\"" + dir.File(to) + "\"";
  };
  const std::string orphan = copy("sleeper.exe", "TreeOrphan.exe");
  copy("supervisor.exe", "TreeLauncher.exe");
  Process launcher = Start(dir.File("TreeLauncher.exe"), "--once " + orphan);
  ASSERT_TRUE(launcher.WaitExit(5000ms));
  const std::string worker = copy("sleeper.exe", "TreeWorker.exe");
  const std::string helper = copy("supervisor.exe", "TreeHelper.exe");
  copy("supervisor.exe", "Vex.exe");
  Process root = Start(dir.File("Vex.exe"), helper + " " + worker);
  ASSERT_TRUE(WaitUntil([&] { return Runs("TreeWorker.exe"); }));
  App app;
  EXPECT_EQ(RunToEnd(app, "-k /tree"), 0);
  EXPECT_TRUE(root.WaitExit(0ms));
  EXPECT_FALSE(Runs("TreeHelper.exe"));
  EXPECT_FALSE(Runs("TreeWorker.exe"));
  EXPECT_TRUE(Runs("TreeOrphan.exe"));
  const Lines log = LogOf(app);
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const std::string& line) {
    return line.find("\tTreeHelper.exe\t") != line.npos &&
           line.find("child of Vex.exe (" + std::to_string(root.Id()) + ")") != line.npos;
  }));
  EndAll("TreeOrphan.exe");
}

TEST(Scope, KillWithAFolderEndsOnlyTheInstallInsideItAndAFolderItCannotUseIsCodeFive) {
  TempDir root;
  for (const char* name : {"Vex Suite", "Vex Suite2", "Vex Suite Old"})
    CreateDirectoryA(root.File(name).c_str(), nullptr);
  const std::string inside = root.File("Vex Suite") + "\\";
  CreateDirectoryA((inside + "bin").c_str(), nullptr);
  CopyFileA((BinDir() + "sleeper.exe").c_str(), (inside + "bin\\Vex.exe").c_str(), FALSE);
  Process in = Start(inside + "bin\\Vex.exe");
  std::vector<Process> out;
  for (const char* name : {"Vex Suite2", "Vex Suite Old"}) {
    const std::string exe = root.File(name) + "\\Vex.exe";
    CopyFileA((BinDir() + "sleeper.exe").c_str(), exe.c_str(), FALSE);
    out.push_back(Start(exe));
  }
  ASSERT_TRUE(WaitReady(in));
  for (const Process& p : out) ASSERT_TRUE(WaitReady(p));
  App app;
  // The folder in its short form (where the file system has one), with a trailing backslash doubled.
  char shortForm[MAX_PATH] = {};
  ASSERT_GT(GetShortPathNameA(root.File("Vex Suite").c_str(), shortForm, MAX_PATH), 0u);
  EXPECT_EQ(std::string(shortForm).find(' '), std::string::npos) << shortForm;  // a real 8.3 name
  EXPECT_EQ(RunToEnd(app, std::string("-k \"") + shortForm + "\\\\\""), 0);
  EXPECT_TRUE(in.WaitExit(0ms));
  for (const Process& p : out) EXPECT_TRUE(p.Running());
  Lines log = LogOf(app);
  ASSERT_GE(log.size(), 3u);
  EXPECT_NE(log[0].find("; scope: " + root.File("Vex Suite")), std::string::npos) << log[0];
  EXPECT_EQ(log[1], "-k\tVex.exe\t" + Id(in.Id()) + "\tended\t-");
  // Nothing else holds it; the processes that could not be inspected (Wine's 64-bit ones) are only named.
  for (const std::string& line : log) EXPECT_EQ(line.find("holds the folder"), std::string::npos) << line;

  // A folder that does not exist, or a relative one: nothing ends, and standard output says why.
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  for (const std::string& folder : {root.File("Vex Suite3"), std::string("Vex Suite2")}) {
    const std::string said = app.Dir().File("said.txt");
    HANDLE output = CreateFileA(said.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(RunToEnd(app, "-k \"" + folder + "\"", output), 5) << folder;
    CloseHandle(output);
    const Lines lines = FileLines(said);
    ASSERT_EQ(lines.size(), 2u) << folder;
    EXPECT_NE(lines[1].find("\trun ended\texit code 5, 0.0 s: bad command line: the folder " + folder),
              std::string::npos)
        << lines[1];
  }
  for (const Process& p : out) EXPECT_TRUE(p.Running());
}

}  // namespace
}  // namespace tarnwick
