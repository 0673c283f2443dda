// The one-snapshot scan on real processes: sleepers copied under the listed image names.
#include "process/ProcessWin32.h"

#include <windows.h>
#include <psapi.h>

#include <gtest/gtest.h>

#include "app/AppWin32.h"
#include "common/Text.h"
#include "tests/support/Driver.h"

namespace tarnwick {
namespace {

using namespace test;

// Sleepers are found by their image path: wait until a started one can be named.
bool Findable(const std::string& imageName) {
  return WaitUntil([&] { return Runs(imageName); }, 10000ms);
}

TEST(ProcessWin32, FindsASleeperByImageNameIgnoringCase) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  ASSERT_TRUE(vex.Running());
  ProcessWin32 api;
  ASSERT_TRUE(Findable("Vex.exe"));
  // A path never matches.
  EXPECT_EQ(FindRunningImages(api, {"VEX.EXE", "vex.exe", "Vex", dir.File("Vex.exe"), "VexSQL.exe", ""}),
            (std::vector<bool>{true, true, false, false, false, false}));
  EXPECT_FALSE(api.IsCritical(GetCurrentProcess()));
  EXPECT_TRUE(vex.Running());
}

TEST(ProcessWin32, ASixtyFourBitProcessIsFoundByItsImagePath) {
#ifdef _WIN64
  GTEST_SKIP() << "pins what 32-bit code sees of a 64-bit process (no module name, only the image path); "
                  "64-bit code reads the module name itself";
#endif
  TempDir dir;
  Process wide = StartSleeper(dir, "VexOPC.exe", true);
  ASSERT_TRUE(wide.Running());
  ProcessWin32 api;
  ASSERT_TRUE(Findable("VexOPC.exe"));

  // The module calls give this 32-bit program no name for it: the image path is what finds it.
  HANDLE handle = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, wide.Id());
  ASSERT_NE(handle, nullptr);
  EXPECT_TRUE(EqualsNoCase(api.ImagePath(handle), dir.File("VexOPC.exe"))) << api.ImagePath(handle);
  CloseHandle(handle);

  EXPECT_EQ(FindRunningImages(api, {"vexopc.exe"}), std::vector<bool>{true});
}

TEST(ProcessWin32, TheSnapshotScanFindsRealProcessesButNotItsOwn) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  Process quil = StartSleeper(dir, "QuilListener.exe");
  Process wide = StartSleeper(dir, "Tallyboard.exe", true);
  ProcessWin32 api;
  for (const char* name : {"Vex.exe", "QuilListener.exe", "Tallyboard.exe"}) ASSERT_TRUE(Findable(name)) << name;

  const std::vector<std::string> names = {"Vex.exe", "VexSQL.exe", "QUILLISTENER.EXE", "Tallyboard.exe",          "",
                                          "Vex",     "x\\Vex.exe", "explorer.exe",     "tarnwick_win32_tests.exe"};
  const std::vector<bool> running = {true, false, true, true, false, false, false, true, false};
  EXPECT_EQ(FindRunningImages(api, names), running);
  // The window's scan covers its own session and session 0; the own session is one of them.
  DWORD session = 0;
  ASSERT_TRUE(ProcessIdToSessionId(GetCurrentProcessId(), &session));
  EXPECT_EQ(FindRunningImages(api, names, SessionScope::WindowOf(session)), running);
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
  EXPECT_EQ(FindRunningImages(api, {"Vex.exe", "V?x.exe", "v\xC4\x93x.EXE"}), (std::vector<bool>{false, false, true}));
  std::vector<SnapshotEntry> snapshot;
  ASSERT_TRUE(api.Snapshot(snapshot));
  for (const SnapshotEntry& entry : snapshot) {
    if (entry.Id == lookalike.Id()) {
      EXPECT_EQ(entry.ExeName, "V\xC4\x93x.exe");
    }
  }
}

TEST(ProcessWin32, TheSnapshotListsTheProcessesWithTheirImageNamesAndSessions) {
  TempDir dir;
  Process vex = StartSleeper(dir, "Vex.exe");
  Process wide = StartSleeper(dir, "VexUPnP.exe", true);
  ProcessWin32 api;
  ASSERT_TRUE(Findable("Vex.exe"));
  ASSERT_TRUE(Findable("VexUPnP.exe"));
  std::vector<SnapshotEntry> snapshot;
  ASSERT_TRUE(api.Snapshot(snapshot));
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

}  // namespace
}  // namespace tarnwick
