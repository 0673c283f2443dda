// FindProcess and the one-snapshot scan over a fake process table: matching, termination, and cost.
#include "process/FindProcess.h"

#include <gtest/gtest.h>

#include "tests/unit/FakeProcessApi.h"

namespace tarnwick {
namespace {

using test::FakeProcess;
using test::FakeProcessApi;

TEST(FindProcess, MatchesTheFileNameOfTheMainModuleIgnoringCase) {
  struct Case {
    const char* imageName;
    bool found;
  };
  const Case cases[] = {
      {"notepad.exe", true},
      {"NOTEPAD.EXE", true},
      {"Notepad.Exe", true},
      {"notepad", false},  // the extension counts
      {"notepad.ex", false},
      {"otepad.exe", false},
      {"Windows\\notepad.exe", false},  // only the part after the last backslash is compared
      {"C:\\Windows\\notepad.exe", false},
      {"\\notepad.exe", false},
      {"", false},
  };
  for (const Case& c : cases) {
    FakeProcessApi api;
    api.Add(10, "C:\\Windows\\explorer.exe");
    api.Add(20, "C:\\Windows\\notepad.exe");
    EXPECT_EQ(FindProcess(api, c.imageName, false), c.found) << c.imageName;
    EXPECT_TRUE(api.Terminated.empty());
    EXPECT_EQ(api.OpenHandles, 0) << c.imageName;
  }
}

TEST(FindProcess, QueryOpensWithQueryRightsAndStopsAtTheFirstMatch) {
  FakeProcessApi api;
  api.Add(10, "C:\\a\\Other.exe");
  api.Add(20, "C:\\a\\Vex.exe");
  api.Add(30, "C:\\b\\Vex.exe");
  EXPECT_TRUE(FindProcess(api, "Vex.exe", false));
  EXPECT_EQ(api.Opened, (std::vector<ProcessId>{10, 20}));
  // PROCESS_QUERY_LIMITED_INFORMATION alone: nothing of the process's memory is read.
  EXPECT_EQ(api.Rights, (std::vector<std::uint32_t>{0x1000, 0x1000}));
  EXPECT_EQ(api.OpenHandles, 0);
}

TEST(FindProcess, TerminateEndsOnlyTheFirstMatchAndReturnsFalse) {
  FakeProcessApi api;
  api.Add(10, "C:\\a\\Other.exe");
  api.Add(20, "C:\\a\\Vex.exe");
  api.Add(30, "C:\\b\\VEX.EXE");
  EXPECT_FALSE(FindProcess(api, "vex.exe", true));
  EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{20}));
  EXPECT_EQ(api.Processes[1].ExitCode, 0u);
  EXPECT_EQ(api.Rights.front(), 0x1001u);
  EXPECT_FALSE(FindProcess(api, "vex.exe", true));
  EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{20, 30}));
  EXPECT_FALSE(FindProcess(api, "vex.exe", true));
  EXPECT_EQ(api.Terminated.size(), 2u);
  EXPECT_TRUE(api.IsAlive(10));
  EXPECT_EQ(api.OpenHandles, 0);
}

TEST(FindProcess, AProcessThatCannotBeOpenedCountsAsNotRunning) {
  FakeProcessApi api;
  api.Add(10, "C:\\a\\Vex.exe").Openable = false;
  EXPECT_FALSE(FindProcess(api, "Vex.exe", false));
  FindProcess(api, "Vex.exe", true);
  EXPECT_TRUE(api.Terminated.empty());

  api.Add(20, "C:\\b\\Vex.exe");
  EXPECT_TRUE(FindProcess(api, "Vex.exe", false));
  FindProcess(api, "Vex.exe", true);
  EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{20}));
}

TEST(FindProcess, AFailedEnumerationFindsNothing) {
  FakeProcessApi api;
  api.Add(10, "C:\\a\\Vex.exe");
  api.EnumerationFails = true;
  EXPECT_FALSE(FindProcess(api, "Vex.exe", false));
  FindProcess(api, "Vex.exe", true);
  EXPECT_TRUE(api.Terminated.empty());
  EXPECT_TRUE(api.Opened.empty());
}

TEST(FindProcess, TheBufferGrowsUntilEveryProcessIsSeen) {
  struct Case {
    int processes;
    int enumerations;  // 256 ids at first, doubled while the answer fills the buffer
    bool alwaysFull;   // a broken enumeration that fills any buffer: growth stops at 2^20 ids
  };
  for (const Case c : {Case{1, 1, false}, Case{255, 1, false}, Case{256, 2, false}, Case{300, 2, false},
                       Case{1000, 3, false}, Case{1024, 4, false}, Case{3, 13, true}}) {
    FakeProcessApi api;
    api.AlwaysFull = c.alwaysFull;
    for (int i = 1; i < c.processes; ++i)
      api.Add(static_cast<ProcessId>(4 * i), "C:\\w\\Idle" + std::to_string(i) + ".exe");
    api.Add(99999, "C:\\late\\Vex.exe");  // enumerated last
    std::vector<ProcessId> ids;
    ASSERT_TRUE(EnumerateAllIds(api, ids)) << c.processes;
    EXPECT_EQ(api.Enumerations, c.enumerations) << c.processes;
    // Exactly the identifiers returned: no zero left over from the buffer's unused end.
    EXPECT_EQ(ids.size(), c.alwaysFull ? std::size_t{1} << 20 : static_cast<std::size_t>(c.processes)) << c.processes;
    if (c.alwaysFull) continue;
    EXPECT_EQ(ids.back(), 99999u);
    EXPECT_TRUE(FindProcess(api, "Vex.exe", false)) << c.processes;
    FindProcess(api, "Vex.exe", true);
    EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{99999})) << c.processes;
  }
}

TEST(FindProcess, EmptyNamesNeverMatch) {
  FakeProcessApi api;
  FakeProcess& unreadable = api.Add(10, "");
  unreadable.ImagePath = "";
  api.Add(20, "C:\\a\\Vex.exe");
  EXPECT_FALSE(FindProcess(api, "", false));
  FindProcess(api, "", true);
  EXPECT_TRUE(api.Terminated.empty());
  // A process whose name cannot be read is passed over, not mistaken for the one searched.
  EXPECT_TRUE(FindProcess(api, "Vex.exe", false));
}

TEST(FindProcess, TheImagePathNamesTheProcessAndTheMainModuleOnlyWhereThereIsNone) {
  FakeProcessApi api;
  api.Add(10, "").ImagePath = "C:\\Program Files\\Vex\\VexSQL.exe";  // a 64-bit process seen from 32-bit code
  FakeProcess& renamed = api.Add(20, "C:\\a\\Vex.exe");
  renamed.ImagePath = "C:\\a\\NotVex.exe";          // its module list, in its own memory, says otherwise
  api.Add(30, "C:\\b\\VexOPC.exe").ImagePath = "";  // a Windows that cannot name the image
  EXPECT_TRUE(FindProcess(api, "vexsql.exe", false));
  EXPECT_FALSE(FindProcess(api, "Vex.exe", false));
  EXPECT_TRUE(FindProcess(api, "NotVex.exe", false));
  EXPECT_TRUE(FindProcess(api, "VexOPC.exe", false));
  FindProcess(api, "VexSQL.exe", true);
  EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{10}));
}

TEST(FindProcess, NeverTerminatesItselfOrACriticalProcess) {
  FakeProcessApi api;
  api.Self = 10;
  api.Add(10, "C:\\Tools\\Tarnwick.exe");
  api.Add(20, "C:\\Windows\\csrss.exe").Critical = true;
  EXPECT_TRUE(FindProcess(api, "Tarnwick.exe", false));  // it runs, and is listed as running
  EXPECT_TRUE(FindProcess(api, "csrss.exe", false));
  FindProcess(api, "Tarnwick.exe", true);
  FindProcess(api, "csrss.exe", true);
  EXPECT_TRUE(api.Terminated.empty());
  // Its own process is not even opened for termination.
  for (std::size_t i = 0; i < api.Opened.size(); ++i) {
    if (api.Rights[i] == kTerminateRights) {
      EXPECT_NE(api.Opened[i], 10u);
    }
  }
  // Another process of the same image is the one ended.
  api.Add(30, "D:\\Copy\\Tarnwick.exe");
  api.Add(40, "C:\\Windows\\CSRSS.EXE");
  FindProcess(api, "Tarnwick.exe", true);
  FindProcess(api, "csrss.exe", true);
  EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{30, 40}));
  EXPECT_EQ(api.OpenHandles, 0);
}

// A table with every kind of process the scan meets.
FakeProcessApi MixedTable() {
  FakeProcessApi api;
  api.Self = 5;
  api.Add(5, "C:\\Tools\\Tarnwick.exe");
  api.Add(8, "C:\\Windows\\system32\\services.exe").Openable = false;
  api.Add(12, "C:\\Vex\\Vex.exe");
  api.Add(16, "C:\\Vex\\vex.EXE");
  api.Add(20, "").ImagePath = "C:\\Vex64\\VexOPC.exe";
  FakeProcess& hidden = api.Add(24, "C:\\Vex\\VexSQL.exe");
  hidden.Openable = false;
  FakeProcess& unreadable = api.Add(28, "");
  unreadable.ImagePath = "";
  unreadable.SnapshotName = "Tallyboard.exe";
  api.Add(32, "C:\\Windows\\csrss.exe").Critical = true;
  return api;
}

const std::vector<std::string> kMixedNames = {
    "Vex.exe",      "VexSQL.exe", "VexOPC.exe",  "Tallyboard.exe", "", "VEX.EXE", "Vex", "Vex\\Vex.exe",
    "tarnwick.exe", "csrss.exe",  "Missing.exe", "services.exe"};

TEST(FindRunningImages, GivesForEveryNameWhatFindProcessGives) {
  FakeProcessApi reference = MixedTable();
  std::vector<bool> expected;
  for (const std::string& name : kMixedNames) expected.push_back(FindProcess(reference, name, false));
  EXPECT_EQ(expected,
            (std::vector<bool>{true, false, true, false, false, true, false, false, true, true, false, false}));

  expected[8] = false;  // the scan leaves Tarnwick's own process out
  FakeProcessApi snapshot = MixedTable();
  EXPECT_EQ(FindRunningImages(snapshot, kMixedNames), expected);
  EXPECT_EQ(snapshot.OpenHandles, 0);

  FakeProcessApi fallback = MixedTable();
  fallback.SnapshotFails = true;
  EXPECT_EQ(FindRunningImages(fallback, kMixedNames), expected);
  EXPECT_EQ(fallback.Enumerations, 1);
}

TEST(FindRunningImages, OneSnapshotAndOpensOnlyForCandidatesForAnyNumberOfRows) {
  for (int rows : {1, 9, 50, 200}) {
    FakeProcessApi api;
    for (int i = 1; i <= 300; ++i) api.Add(static_cast<ProcessId>(4 * i), "C:\\w\\Idle" + std::to_string(i) + ".exe");
    api.Add(2000, "C:\\Vex\\Vex.exe");
    api.Add(2004, "C:\\Vex\\Vex.exe");  // a second process of a confirmed image is not opened
    api.Add(2008, "").ImagePath = "C:\\Vex64\\Row0.exe";
    std::vector<std::string> names{"Vex.exe"};
    for (int i = 0; names.size() < static_cast<std::size_t>(rows); ++i)
      names.push_back("Row" + std::to_string(i) + ".exe");

    const std::vector<bool> running = FindRunningImages(api, names);
    EXPECT_EQ(api.Snapshots, 1) << rows;
    EXPECT_EQ(api.Enumerations, 0) << rows;
    const std::vector<ProcessId> candidates =
        rows > 1 ? std::vector<ProcessId>{2000, 2008} : std::vector<ProcessId>{2000};
    EXPECT_EQ(api.Opened, candidates) << rows;
    for (std::uint32_t rights : api.Rights) EXPECT_EQ(rights, kQueryRights);
    EXPECT_TRUE(running[0]);
    if (rows > 1) {
      EXPECT_TRUE(running[1]);
    }
    for (int i = 2; i < rows; ++i) EXPECT_FALSE(running[static_cast<std::size_t>(i)]) << rows << " " << i;
  }
}

TEST(FindRunningImages, TheSnapshotNominatesButTheModuleDecides) {
  FakeProcessApi api;
  FakeProcess& renamed = api.Add(10, "C:\\a\\Other.exe");
  renamed.SnapshotName = "Vex.exe";
  api.Add(20, "C:\\a\\Vex.exe").Openable = false;
  EXPECT_EQ(FindRunningImages(api, {"Vex.exe", "Other.exe"}), (std::vector<bool>{false, true}));
  EXPECT_FALSE(FindProcess(api, "Vex.exe", false));
  EXPECT_TRUE(FindProcess(api, "Other.exe", false));
}

TEST(FindRunningImages, NoRowsNeedNoLook) {
  FakeProcessApi api;
  api.Add(10, "C:\\a\\Vex.exe");
  EXPECT_TRUE(FindRunningImages(api, {}).empty());
  EXPECT_EQ(FindRunningImages(api, {"", ""}), (std::vector<bool>{false, false}));
  EXPECT_EQ(api.Snapshots + api.Enumerations, 0);
}

}  // namespace
}  // namespace tarnwick
