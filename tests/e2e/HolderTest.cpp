// Who holds the folder, with the real exe under Wine: each way of holding named by -l and -k with code 6,
// /all, the folder free with Tarnwick inside it, a second drive letter for it, and a watchdog.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>

#include "tests/support/Driver.h"

namespace tarnwick {
namespace {

using namespace test;
using Lines = std::vector<std::string>;

int RunToEnd(const std::string& exe, const std::string& args) {
  Process run = Start(exe, args);
  return run.WaitExit(60000ms) ? static_cast<int>(run.ExitCode()) : -1;
}

// The log's line for the process, without its time and the program's path; empty when there is none.
std::string LineOf(const Lines& log, DWORD id) {
  const std::string field = "\t" + std::to_string(id) + "\t";
  for (const std::string& line : log) {
    if (line.find(field) != std::string::npos) return LogBody(line);
  }
  return {};
}

bool EndsWith(const std::string& text, const std::string& end) {
  return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

// An install: its own program, a DLL, a data file and a file to map; Tarnwick inside it.
struct Install {
  TempDir root;
  std::string vex = root.File("Vex");
  std::string tarnwick = vex + "\\tools\\Tarnwick.exe";
  Install() {
    for (const char* dir : {"", "\\bin", "\\tools"}) CreateDirectoryA((vex + dir).c_str(), nullptr);
    CopyFileA((BinDir() + "planted.dll").c_str(), (vex + "\\bin\\VexCore.dll").c_str(), FALSE);
    CopyFileA((BinDir() + "holder.exe").c_str(), (vex + "\\bin\\VexAgent.exe").c_str(), FALSE);
    CopyFileA((BinDir() + "Tarnwick.exe").c_str(), tarnwick.c_str(), FALSE);
    WriteFile(vex + "\\data.txt", "data");
    WriteFile(vex + "\\map.bin", std::string(8192, 'm'));
  }
  Lines Log() const { return FileLines(vex + "\\tools\\Tarnwick.log"); }
};

TEST(Holders, EachWayOfHoldingIsNamedAndOnlyAFreeFolderGivesZero) {
  Install install;
  const std::string& vex = install.vex;
  struct Kind {
    std::string How, Path, Named;  // the holder's arguments, and what the line ends with
  };
  const Kind kinds[] = {
      {"none", "", "\tholds the folder\tprogram " + vex + "\\bin\\VexAgent.exe"},
      {"module", vex + "\\bin\\VexCore.dll", "\tholds the folder\tmodule " + vex + "\\bin\\VexCore.dll"},
      {"file", vex + "\\data.txt", "\tholds the folder\tfile " + vex + "\\data.txt"},
      {"folder", vex + "\\bin", "\tholds the folder\tfolder " + vex + "\\bin"},
      {"mapped", vex + "\\map.bin", "\tholds the folder\tmapped " + vex + "\\map.bin"},
  };
  std::vector<Process> holders;
  for (const Kind& kind : kinds) {
    const std::string exe = kind.How == "none" ? vex + "\\bin\\VexAgent.exe" : BinDir() + "holder.exe";
    holders.push_back(Start(exe, kind.How + " \"" + kind.Path + "\""));
    ASSERT_TRUE(WaitReady(holders.back())) << kind.How;
  }
  Sleep(500);  // each has done its holding
  for (const char* run : {"-l", "-k"}) {
    DeleteFileA((vex + "\\tools\\Tarnwick.log").c_str());
    EXPECT_EQ(RunToEnd(install.tarnwick, std::string(run) + " \"" + vex + "\""), 6) << run;
    const Lines log = install.Log();
    for (std::size_t i = 0; i < holders.size(); ++i) {
      EXPECT_TRUE(holders[i].Running()) << kinds[i].How;
      EXPECT_TRUE(EndsWith(LineOf(log, holders[i].Id()), kinds[i].Named))
          << run << ": " << LineOf(log, holders[i].Id());
    }
  }
  // "/all" ends the install's own program, never a foreign holder.
  EXPECT_EQ(RunToEnd(install.tarnwick, "-k /all \"" + vex + "\""), 6);
  EXPECT_TRUE(holders[0].WaitExit(2000ms));
  for (std::size_t i = 1; i < holders.size(); ++i) EXPECT_TRUE(holders[i].Running()) << kinds[i].How;

  for (Process& holder : holders) holder.Kill();
  EXPECT_EQ(RunToEnd(install.tarnwick, "-k \"" + vex + "\""), 0);
}

TEST(Holders, AnotherDriveLetterForTheFolderIsTheSameFolder) {
  Install install;
  CopyFileA((BinDir() + "sleeper.exe").c_str(), (install.vex + "\\bin\\Vex.exe").c_str(), FALSE);
  Process listed = Start(install.vex + "\\bin\\Vex.exe");
  ASSERT_TRUE(WaitReady(listed));
  // T: points at the test's folder, as subst or a mapped drive would.
  LinuxShell shell;
  const std::string c = UnixPath("C:\\");
  const std::size_t at = std::min(c.find("/dosdevices/"), c.find("/drive_c"));
  const std::string dosdevices = c.substr(0, at) + "/dosdevices";
  ASSERT_TRUE(shell.Run("ln -sfn " + UnixPath(install.root.Path()) + " " + dosdevices + "/t:"));
  ASSERT_TRUE(WaitUntil([] { return GetFileAttributesA("T:\\Vex") != INVALID_FILE_ATTRIBUTES; })) << dosdevices;
  EXPECT_EQ(RunToEnd(install.tarnwick, "-l T:\\Vex"), 1);
  EXPECT_EQ(LineOf(install.Log(), listed.Id()).find("-l\tVex.exe\t"), 0u) << LineOf(install.Log(), listed.Id());
  shell.Run("rm -f " + dosdevices + "/t:");
}

TEST(Holders, KillSeesAWatchdogThatRestartsAfterASecondAndAHalf) {
  Install install;
  const std::string sleeper = install.vex + "\\bin\\Vex.exe";
  CopyFileA((BinDir() + "sleeper.exe").c_str(), sleeper.c_str(), FALSE);
  Process supervisor = Start(BinDir() + "supervisor.exe", "--delay:1500 \"" + sleeper + "\"");
  ASSERT_TRUE(WaitUntil([&] { return Runs("Vex.exe"); }));
  EXPECT_EQ(RunToEnd(install.tarnwick, "-k /limit:6 \"" + install.vex + "\""), 1);
  const Lines log = install.Log();
  EXPECT_TRUE(
      std::any_of(log.begin(), log.end(), [](const std::string& l) { return l.find("\tcame back\t") != l.npos; }));
  supervisor.Kill();
  EndAll("Vex.exe");
}

}  // namespace
}  // namespace tarnwick
