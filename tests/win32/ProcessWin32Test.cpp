// FindProcess and the one-snapshot scan on real processes: sleepers copied under the listed image names.
#include "process/ProcessWin32.h"

#include <windows.h>
#include <psapi.h>

#include <algorithm>

#include <gtest/gtest.h>

#include "app/AppWin32.h"
#include "common/Text.h"
#include "tests/support/Driver.h"

namespace tarnwick {
namespace {

using namespace test;

// Sleepers are found by their image path: wait until a started one has its module loaded.
bool Findable(ProcessWin32& api, const std::string& imageName) {
  return WaitUntil([&] { return FindProcess(api, imageName, false); }, 10000ms);
}

TEST(ProcessWin32, FindsASleeperByImageNameIgnoringCase) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  ASSERT_TRUE(vex.Running());
  ProcessWin32 api;
  ASSERT_TRUE(Findable(api, "Vex.exe"));
  EXPECT_TRUE(FindProcess(api, "VEX.EXE", false));
  EXPECT_TRUE(FindProcess(api, "vex.exe", false));
  EXPECT_FALSE(FindProcess(api, "Vex", false));
  EXPECT_FALSE(FindProcess(api, dir.File("Vex.exe"), false));  // a path never matches
  EXPECT_FALSE(FindProcess(api, "VexSQL.exe", false));
  EXPECT_FALSE(FindProcess(api, "", false));
  EXPECT_TRUE(vex.Running());
}

TEST(ProcessWin32, TerminateEndsTheSleeperWithExitCodeZero) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  Process sql = StartSleeper(dir, "VexSQL.exe");
  ProcessWin32 api;
  ASSERT_TRUE(Findable(api, "Vex.exe"));
  ASSERT_TRUE(Findable(api, "VexSQL.exe"));
  EXPECT_FALSE(FindProcess(api, "vex.exe", true));
  ASSERT_TRUE(vex.WaitExit(5000ms));
  EXPECT_EQ(vex.ExitCode(), 0u);
  EXPECT_TRUE(WaitUntil([&] { return !FindProcess(api, "Vex.exe", false); }));
  EXPECT_TRUE(sql.Running());
}

TEST(ProcessWin32, TwoProcessesOfOneImageAreEndedOneAtATime) {
  TempDir dir1, dir2;
  Process first = StartSleeper(dir1, "VexScript.exe");
  Process second = StartSleeper(dir2, "VexScript.exe");
  ProcessWin32 api;
  ASSERT_TRUE(Findable(api, "VexScript.exe"));
  ASSERT_TRUE(
      WaitUntil([&] { return FindRunningImages(api, {"VexScript.exe"})[0] && first.Running() && second.Running(); }));
  FindProcess(api, "VexScript.exe", true);
  ASSERT_TRUE(WaitUntil([&] { return !first.Running() || !second.Running(); }));
  EXPECT_NE(first.Running(), second.Running());  // exactly one ended
  EXPECT_TRUE(FindProcess(api, "VexScript.exe", false));

  FindProcess(api, "VexScript.exe", true);
  EXPECT_TRUE(first.WaitExit(5000ms));
  EXPECT_TRUE(second.WaitExit(5000ms));
  EXPECT_TRUE(WaitUntil([&] { return !FindProcess(api, "VexScript.exe", false); }));
}

TEST(ProcessWin32, ASixtyFourBitProcessIsFoundAndEndedByItsImagePath) {
#ifdef _WIN64
  GTEST_SKIP() << "pins what 32-bit code sees of a 64-bit process (no module name, only the image path); "
                  "64-bit code reads the module name itself";
#endif
  TempDir dir;
  Process wide = StartSleeper(dir, "VexOPC.exe", true);
  ASSERT_TRUE(wide.Running());
  ProcessWin32 api;
  ASSERT_TRUE(Findable(api, "VexOPC.exe"));

  // The module calls give this 32-bit program no name for it: the image path is what finds it.
  HANDLE handle = OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_VM_READ, FALSE, wide.Id());
  ASSERT_NE(handle, nullptr);
  EXPECT_EQ(api.MainModuleName(handle), "");
  EXPECT_TRUE(EqualsNoCase(api.ImagePath(handle), dir.File("VexOPC.exe"))) << api.ImagePath(handle);
  CloseHandle(handle);

  EXPECT_EQ(FindRunningImages(api, {"vexopc.exe"}), std::vector<bool>{true});
  FindProcess(api, "VexOPC.exe", true);
  ASSERT_TRUE(wide.WaitExit(5000ms));
  EXPECT_EQ(wide.ExitCode(), 0u);
}

TEST(ProcessWin32, TheSnapshotScanAgreesWithFindProcessOnRealProcesses) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  Process quil = StartSleeper(dir, "QuilListener.exe");
  Process wide = StartSleeper(dir, "Tallyboard.exe", true);
  ProcessWin32 api;
  for (const char* name : {"Vex.exe", "QuilListener.exe", "Tallyboard.exe"}) ASSERT_TRUE(Findable(api, name)) << name;

  const std::vector<std::string> names = {"Vex.exe", "VexSQL.exe", "QUILLISTENER.EXE", "Tallyboard.exe",          "",
                                          "Vex",     "x\\Vex.exe", "explorer.exe",     "tarnwick_win32_tests.exe"};
  std::vector<bool> perRow;
  for (const std::string& name : names) perRow.push_back(FindProcess(api, name, false));
  EXPECT_EQ(perRow, (std::vector<bool>{true, false, true, true, false, false, false, true, true}));
  perRow.back() = false;  // the scan leaves its own process out
  EXPECT_EQ(FindRunningImages(api, names), perRow);
  // The window's scan covers its own session and session 0; the own session is one of them.
  DWORD session = 0;
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
  EXPECT_EQ(FindRunningImages(api, names, SessionScope::WindowOf(session)), perRow);
}

// "V\u0113x.exe" (e with macron) keeps its own name: converted with best fit it would read "Vex.exe".
TEST(ProcessWin32, ANameThatOnlyLooksLikeAListedOneMatchesOnlyItself) {
  TempDir dir;
  const std::string ansiDir = dir.Path();
  const std::wstring path = std::wstring(ansiDir.begin(), ansiDir.end()) + L"V\u0113x.exe";
  const std::string sleeper = BinDir() + "sleeper.exe";
  ASSERT_TRUE(CopyFileW(std::wstring(sleeper.begin(), sleeper.end()).c_str(), path.c_str(), FALSE));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  ASSERT_TRUE(CreateProcessW(path.c_str(), nullptr, nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info));
  Process lookalike(info);
  // Ready once its module has a name.
  ASSERT_TRUE(WaitUntil([&] {
    wchar_t name[MAX_PATH] = {};
    return GetModuleFileNameExW(lookalike.Handle(), nullptr, name, MAX_PATH) > 0;
  }));

  ProcessWin32 api;
  EXPECT_FALSE(FindProcess(api, "Vex.exe", false));
  EXPECT_EQ(FindRunningImages(api, {"Vex.exe", "V?x.exe"}), (std::vector<bool>{false, false}));
  FindProcess(api, "Vex.exe", true);
  EXPECT_TRUE(lookalike.Running());
  std::vector<SnapshotEntry> snapshot;
  ASSERT_TRUE(api.Snapshot(snapshot));
  for (const SnapshotEntry& entry : snapshot) {
    if (entry.Id == lookalike.Id()) {
      EXPECT_EQ(entry.ExeName, "V\xC4\x93x.exe");
    }
  }
  EXPECT_TRUE(FindProcess(api, "v\xC4\x93x.EXE", false));
}

TEST(ProcessWin32, NeverTerminatesItsOwnProcess) {
  ProcessWin32 api;
  const std::string self = ExeName() + ".exe";
  ASSERT_TRUE(FindProcess(api, self, false));
  EXPECT_FALSE(api.IsCritical(GetCurrentProcess()));
  FindProcess(api, self, true);  // were it ended, this test would not finish
  EXPECT_TRUE(FindProcess(api, self, false));
}

TEST(ProcessWin32, TheEnumerationAndBothSnapshotsListTheProcessesWithTheirImageNames) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  Process wide = StartSleeper(dir, "VexUPnP.exe", true);
  ProcessWin32 api;
  ASSERT_TRUE(Findable(api, "Vex.exe"));
  ASSERT_TRUE(Findable(api, "VexUPnP.exe"));
  std::vector<ProcessId> ids;
  ASSERT_TRUE(EnumerateAllIds(api, ids));
  for (DWORD id : {vex.Id(), wide.Id(), GetCurrentProcessId()})
    EXPECT_NE(std::find(ids.begin(), ids.end(), id), ids.end());

  ProcessWin32 toolhelp(SnapshotSource::Toolhelp);
  for (ProcessWin32* source : {&api, &toolhelp}) {
    std::vector<SnapshotEntry> snapshot;
    ASSERT_TRUE(source->Snapshot(snapshot));
    auto nameOf = [&](DWORD id) {
      for (const SnapshotEntry& entry : snapshot) {
        if (entry.Id == id) return entry.ExeName;
      }
      return std::string("(missing)");
    };
    for (const SnapshotEntry& entry : snapshot) {
      if (entry.Id == vex.Id() || entry.Id == GetCurrentProcessId()) {
        EXPECT_NE(entry.Session, kUnknownSession);
        EXPECT_EQ(entry.Session, api.SessionOf(entry.Id));
      }
    }
    EXPECT_EQ(nameOf(vex.Id()), "Vex.exe");
    EXPECT_EQ(nameOf(wide.Id()), "VexUPnP.exe");
    EXPECT_EQ(nameOf(GetCurrentProcessId()), ExeName() + ".exe");
  }
}

}  // namespace
}  // namespace tarnwick
