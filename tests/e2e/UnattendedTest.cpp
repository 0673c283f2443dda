// The runs a script relies on, with the real exe and its real exit status: "-l", "-k", another Tarnwick
// from the same folder, the log with its rotation, and the same lines on a redirected standard output.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/Driver.h"

namespace tarnwick {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

// Runs Tarnwick to its end as a script would; its exit status, or -1 when it did not end in time.
struct Finished {
  int ExitCode = -1;
  DWORD Id = 0;
  std::chrono::milliseconds Took{};
};
Finished RunToEnd(const App& app, const std::string& args, HANDLE output = nullptr,
                  std::chrono::milliseconds timeout = 20000ms) {
  const auto start = std::chrono::steady_clock::now();
  Process run = Start(app.ExePath(), args, output);
  Finished finished;
  finished.Id = run.Id();
  if (run.WaitExit(timeout)) finished.ExitCode = static_cast<int>(run.ExitCode());
  finished.Took = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - start);
  return finished;
}

Lines LogOf(const App& app) { return FileLines(app.Dir().File("Tarnwick.log")); }

// A log line without its time and path: "source<TAB>image<TAB>process id<TAB>session<TAB>what<TAB>why".
std::string Body(const std::string& line) { return LogBody(line); }
bool Has(const Lines& lines, const std::string& body) {
  return std::any_of(lines.begin(), lines.end(), [&](const std::string& line) { return Body(line) == body; });
}
// A process id as a line writes it, with the process's session in the next field.
std::string Id(DWORD id) {
  DWORD session = 0;
  return std::to_string(id) + "\t" + (ProcessIdToSessionId(id, &session) ? std::to_string(session) : "-");
}

SECURITY_ATTRIBUTES Inheritable() { return {sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE}; }

TEST(Unattended, ListReportsEachRunningProcessAndLeavesItRunning) {
  TempDir dir1, dir2;
  Process vex = StartSleeper(dir1, "Vex.exe");
  Process sql = StartSleeper(dir2, "VexSQL.exe");
  ASSERT_TRUE(WaitReady(vex) && WaitReady(sql));
  App app;
  // "Tarnwick.exe -l > state.txt": standard output is a file handed over by the caller.
  SECURITY_ATTRIBUTES inherit = Inheritable();
  HANDLE state = CreateFileA(app.Dir().File("state.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                             CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  const Finished run = RunToEnd(app, "-l", state);
  CloseHandle(state);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_TRUE(vex.Running());
  EXPECT_TRUE(sql.Running());

  const Lines log = LogOf(app);
  ASSERT_EQ(log.size(), 4u);
  EXPECT_EQ(Body(log[0]), "-l\tTarnwick.exe\t" + Id(run.Id) + "\trun started\tdebug privilege enabled");
  EXPECT_TRUE(Has(log, "-l\tVex.exe\t" + Id(vex.Id()) + "\tlisted\t-"));
  EXPECT_TRUE(Has(log, "-l\tVexSQL.exe\t" + Id(sql.Id()) + "\tlisted\t-"));
  EXPECT_EQ(log[0].substr(log[0].rfind('\t') + 1), app.ExePath());  // the program's path comes last
  EXPECT_EQ(Body(log[3]).rfind("-l\tTarnwick.exe\t" + Id(run.Id) + "\trun ended\texit code 1, ", 0), 0u) << log[3];
  EXPECT_EQ(log[0].substr(0, 4).find_first_not_of("0123456789"), std::string::npos);  // starts with the year
  EXPECT_EQ(FileLines(app.Dir().File("state.txt")), log);

  vex.Kill();
  sql.Kill();
  EXPECT_EQ(RunToEnd(app, "-l").ExitCode, 0);
}

// A list held without sharing by another program for longer than the read waits: nothing is ended on
// the built-ins alone, nothing answers 0, and the file keeps every entry.
TEST(Unattended, AListThatCannotBeReadEndsNothingAndIsNeverSavedOver) {
  TempDir elsewhere;
  Process vex = StartSleeper(elsewhere, "Vex.exe");
  ASSERT_TRUE(WaitReady(vex));
  App app;
  const std::string list = "[mine.exe]\r\nImageName=mine.exe\r\nDescription=\r\n";
  WriteFile(app.IniPath(), list);
  HANDLE held = CreateFileA(app.IniPath().c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  const struct {
    const char* args;
    int exitCode;
  } cases[] = {{"-k", 3}, {"-a", 3}, {"-l", 1}};
  for (const auto& c : cases) EXPECT_EQ(RunToEnd(app, c.args).ExitCode, c.exitCode) << c.args;
  CloseHandle(held);
  EXPECT_TRUE(vex.Running());
  EXPECT_EQ(ReadFile(app.IniPath()), list);
  const Lines log = LogOf(app);
  EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const std::string& line) {
    return line.find("-k\tTarnwick.exe") != std::string::npos &&
           line.find("exit code 3, 0.0 s: the list could not be read: ") != std::string::npos;
  }));
  EXPECT_TRUE(Has(log, "-l\tVex.exe\t" + Id(vex.Id()) + "\tlisted\t-"));
  vex.Kill();
}

TEST(Unattended, KillEndsEveryProcessOfEveryListedImage) {
  TempDir dirs[3];
  std::vector<Process> scripts;
  for (TempDir& dir : dirs) scripts.push_back(StartSleeper(dir, "VexScript.exe"));
  Process panel = StartSleeper(dirs[0], "Tallyboard.exe");
  Process other = StartSleeper(dirs[0], "Unlisted.exe");
  for (const Process& p : scripts) ASSERT_TRUE(WaitReady(p));
  ASSERT_TRUE(WaitReady(panel));
  App app;
  // "Tarnwick.exe -k | findstr ...": standard output is a pipe.
  SECURITY_ATTRIBUTES inherit = Inheritable();
  HANDLE read = nullptr, write = nullptr;
  ASSERT_TRUE(CreatePipe(&read, &write, &inherit, 64 * 1024));
  const Finished run = RunToEnd(app, "-k", write);
  CloseHandle(write);
  std::string piped(64 * 1024, '\0');
  DWORD got = 0;
  ::ReadFile(read, piped.data(), static_cast<DWORD>(piped.size()), &got, nullptr);
  CloseHandle(read);
  piped.resize(got);

  EXPECT_EQ(run.ExitCode, 0);
  for (const Process& p : scripts) EXPECT_TRUE(p.WaitExit(0ms));
  EXPECT_TRUE(panel.WaitExit(0ms));
  EXPECT_TRUE(other.Running());
  const Lines log = LogOf(app);
  for (const Process& p : scripts) EXPECT_TRUE(Has(log, "-k\tVexScript.exe\t" + Id(p.Id()) + "\tended\t-"));
  EXPECT_TRUE(Has(log, "-k\tTallyboard.exe\t" + Id(panel.Id()) + "\tended\t-"));
  std::string logged;
  for (const std::string& line : log) logged += line + "\r\n";
  EXPECT_EQ(piped, logged);
}

TEST(Unattended, KillGivesUpWithCodeOneWhenAProcessKeepsComingBack) {
  TempDir dir;
  const std::string sleeper = dir.File("Restarted.exe");
  CopyFileA((BinDir() + "sleeper.exe").c_str(), sleeper.c_str(), FALSE);
  Process supervisor = Start(BinDir() + "supervisor.exe", "\"" + sleeper + "\"");
  App app;
  WriteFile(app.IniPath(), "[Restarted.exe]\r\nImageName=Restarted.exe\r\nDescription=comes back\r\n");
  ASSERT_TRUE(WaitUntil([&] { return Runs("Restarted.exe"); }));

  // The run's limit comes from the command line: 3 s, not the default 30.
  const Finished run = RunToEnd(app, "-k /limit:3", nullptr, 60000ms);
  EXPECT_EQ(run.ExitCode, 1);
  EXPECT_GE(run.Took, 3000ms);
  EXPECT_LT(run.Took, 13000ms);
  const Lines log = LogOf(app);
  ASSERT_GE(log.size(), 4u);
  EXPECT_GE(std::count_if(log.begin(), log.end(), [](const std::string& l) { return l.find("\tended") != l.npos; }), 2);
  // Whatever its last scan saw, the run says how often the process was ended.
  EXPECT_NE(log[log.size() - 2].find("\tkept coming back\tended "), std::string::npos) << log[log.size() - 2];

  supervisor.Kill();
  EndAll("Restarted.exe");
}

TEST(Unattended, WhileTarnwickRunsFromTheSameFolderNothingIsDoneAndTheCodeIsTwo) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  ASSERT_TRUE(WaitReady(vex));
  App app;
  app.Run();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  for (const char* args : {"-a", "-k", "-l", ""}) EXPECT_EQ(RunToEnd(app, args).ExitCode, 2) << args;
  EXPECT_TRUE(vex.Running());
  const Lines log = LogOf(app);
  ASSERT_EQ(log.size(), 6u);  // a start and an end line for each switch; a plain start is not a run
  EXPECT_NE(log[1].find("\trun ended\texit code 2, 0.0 s: another Tarnwick runs from this folder; nothing was done"),
            std::string::npos);
  EXPECT_TRUE(app.Close());
}

TEST(Unattended, TheLogMovesAsideBeforeItPassesOneMegabyteAndALogThatCannotBeWrittenChangesNothingElse) {
  App app;
  const std::string old(1024 * 1024 - 10, 'x');
  WriteFile(app.Dir().File("Tarnwick.log"), old);
  EXPECT_EQ(RunToEnd(app, "-l").ExitCode, 0);
  EXPECT_EQ(ReadFile(app.Dir().File("Tarnwick.log.1")), old);
  EXPECT_EQ(LogOf(app).size(), 2u);

  // Where the log would be there is a folder: no log, and the run does what it would do.
  App unlogged;
  ASSERT_TRUE(CreateDirectoryA(unlogged.Dir().File("Tarnwick.log").c_str(), nullptr));
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  ASSERT_TRUE(WaitReady(vex));
  EXPECT_EQ(RunToEnd(unlogged, "-k").ExitCode, 0);
  EXPECT_TRUE(vex.WaitExit(0ms));
  EXPECT_FALSE(FileExists(unlogged.Dir().File("Tarnwick.log.1")));
}

// Elevated (as Wine runs), the log is never written through a second name of a file outside the folder;
// a rotation that cannot happen empties the log rather than let it grow, and says so in its first line.
TEST(Unattended, TheLogIsWrittenThroughNoHardLinkAndStaysBoundedWhenItCannotMoveAside) {
  App app;
  TempDir outside;
  WriteFile(outside.File("autoexec.bat"), "echo kept\r\n");
  WriteFile(outside.File("list.ini"), "[Vex.exe]\r\nImageName=Vex.exe\r\nDescription=kept\r\n");
  ASSERT_TRUE(CreateHardLinkA(app.Dir().File("Tarnwick.log").c_str(), outside.File("autoexec.bat").c_str(), nullptr));
  // The list of two names is refused: -a and -k end nothing (code 4), and the window never saves it.
  ASSERT_TRUE(CreateHardLinkA(app.IniPath().c_str(), outside.File("list.ini").c_str(), nullptr));
  for (const auto& [args, code] : {std::pair{"-k", 4}, {"-l", 0}, {"/x", 5}, {"-a", 4}}) {
    EXPECT_EQ(RunToEnd(app, args).ExitCode, code) << args;
    EXPECT_EQ(ReadFile(outside.File("autoexec.bat")), "echo kept\r\n") << args;
  }
  EXPECT_EQ(ReadFile(outside.File("list.ini")), "[Vex.exe]\r\nImageName=Vex.exe\r\nDescription=kept\r\n");

  App full;
  WriteFile(full.Dir().File("Tarnwick.log"), std::string(1024 * 1024 - 10, 'x'));
  ASSERT_TRUE(CreateDirectoryA(full.Dir().File("Tarnwick.log.1").c_str(), nullptr));
  EXPECT_EQ(RunToEnd(full, "-l").ExitCode, 0);
  const Lines log = LogOf(full);
  ASSERT_EQ(log.size(), 3u);
  EXPECT_EQ(std::count(log[0].begin(), log[0].end(), '\t'), 7) << log[0];
  EXPECT_NE(log[0].find("\tlog\t-\t-\t-\tthe log was emptied\tTarnwick.log.1 could not be replaced (system error "),
            std::string::npos)
      << log[0];
}

// The folder's mark is the folder itself: reached through a second drive letter it is the same folder.
TEST(Unattended, ASecondDriveLetterForTheFolderIsTheSameFolder) {
  App app;
  LinuxShell shell;
  ASSERT_TRUE(shell.Run("ln -sfn '" + UnixPath(app.Folder()) + "' $WINEPREFIX/dosdevices/t:"));
  app.Run();
  ASSERT_NE(app.WaitMainWindow(), nullptr);
  Process second = Start("T:\\Tarnwick.exe", "-l");
  EXPECT_TRUE(second.WaitExit(20000ms));
  EXPECT_EQ(second.ExitCode(), 2u);
  EXPECT_TRUE(shell.Run("rm -f $WINEPREFIX/dosdevices/t:"));
  EXPECT_TRUE(app.Close());
}

// A typo never ends anything nor waits for anybody: two quoted strings glued by a script ("-k"FOLDER, one
// token as Windows splits it) end no process, even of another install; "/k" is "-k" and holds no mark after.
TEST(Unattended, AMistypedSwitchEndsNothingAndTheSlashFormsRunAsTheDashForms) {
  TempDir other;
  Process vex = StartSleeper(other, "Vex.exe");
  ASSERT_TRUE(WaitReady(vex));
  App app;
  const std::string folder = app.Folder().substr(0, app.Folder().size() - 1);
  const Finished glued = RunToEnd(app, "\"-k\"" + folder);
  EXPECT_EQ(glued.ExitCode, 5);
  EXPECT_TRUE(vex.Running());
  const Lines log = LogOf(app);
  ASSERT_EQ(log.size(), 2u);
  EXPECT_EQ(Body(log[1]).rfind("start\tTarnwick.exe\t" + Id(glued.Id) +
                                   "\trun ended\texit code 5, 0.0 s: bad command line: unknown switch -k" + folder +
                                   ": the switches are -a, -i, -k or -l",
                               0),
            0u)
      << log[1];

  EXPECT_EQ(RunToEnd(app, "/k").ExitCode, 0);
  EXPECT_TRUE(vex.WaitExit(0ms));
  EXPECT_EQ(RunToEnd(app, "-l").ExitCode, 0);
}

TEST(Unattended, HelpAndVersionGoToARedirectedStandardOutput) {
  App app;
  const bool wide = sizeof(void*) == 8;
  const struct {
    const char* args;
    std::string start;
  } cases[] = {{"/?", "Usage: Tarnwick.exe [switch] [folder] [options]\r\n"},
               {"--version", std::string("Tarnwick ") + TARNWICK_VERSION + (wide ? " (64-bit)\r\n" : " (32-bit)\r\n")}};
  for (const auto& c : cases) {
    SECURITY_ATTRIBUTES inherit = Inheritable();
    HANDLE out = CreateFileA(app.Dir().File("out.txt").c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                             FILE_ATTRIBUTE_NORMAL, nullptr);
    EXPECT_EQ(RunToEnd(app, c.args, out).ExitCode, 0) << c.args;
    CloseHandle(out);
    EXPECT_EQ(ReadFile(app.Dir().File("out.txt")).rfind(c.start, 0), 0u) << ReadFile(app.Dir().File("out.txt"));
  }
  EXPECT_FALSE(FileExists(app.Dir().File("Tarnwick.log")));
}

// winget starts a portable exe through a link in a shared folder: the list, the log and the exe's name
// are the real exe's, nothing is made beside the link, and who can add files beside it counts in the
// trust check (Windows looks for DLLs there).
TEST(Unattended, StartedThroughALinkTarnwickKeepsToTheExesOwnFolder) {
  TempDir other;
  Process gadget = StartSleeper(other, "Gadget.exe");
  ASSERT_TRUE(WaitReady(gadget));
  App app;
  WriteFile(app.IniPath(), "[Gadget.exe]\r\nImageName=Gadget.exe\r\nDescription=mine\r\n");
  TempDir links;
  const std::string link = links.File("tarnwick.exe");
  LinuxShell shell;
  // Wine's CreateSymbolicLinkW makes nothing: the link is a Unix one.
  ASSERT_TRUE(shell.Run("ln -s '" + UnixPath(app.ExePath()) + "' '" + UnixPath(link) + "'"));
  Process list = Start(link, "-l");
  ASSERT_TRUE(list.WaitExit(20000ms));
  EXPECT_EQ(list.ExitCode(), 1u);
  const Lines log = LogOf(app);
  ASSERT_FALSE(log.empty());
  EXPECT_EQ(Body(log[0]).rfind("-l\tTarnwick.exe\t", 0), 0u) << log[0];
  EXPECT_TRUE(Has(log, "-l\tGadget.exe\t" + Id(gadget.Id()) + "\tlisted\t-"));
  std::string beside;
  ASSERT_TRUE(shell.Run("ls -A '" + UnixPath(links.Path()) + "'", &beside));
  EXPECT_EQ(beside, "tarnwick.exe\n");

  ASSERT_TRUE(shell.Run("chmod o+w '" + UnixPath(links.Path()) + "'"));
  Process run = Start(link, "-a");
  ASSERT_TRUE(run.WaitExit(20000ms));
  EXPECT_EQ(run.ExitCode(), 4u);
  EXPECT_TRUE(gadget.Running());
}

}  // namespace
}  // namespace tarnwick
