// The one-snapshot scan over a fake process table: matching, identity, and cost.
#include "process/FindProcess.h"

#include <gtest/gtest.h>

#include "tests/unit/FakeProcessApi.h"

namespace tarnwick {
namespace {

using test::FakeProcess;
using test::FakeProcessApi;

TEST(FindRunningImages, MatchesTheFileNameOfTheImageIgnoringCase) {
  const std::vector<std::string> names = {"notepad.exe",
                                          "NOTEPAD.EXE",
                                          "Notepad.Exe",
                                          "notepad",  // the extension counts
                                          "notepad.ex",
                                          "otepad.exe",
                                          "Windows\\notepad.exe",  // only the part after the last backslash is compared
                                          "C:\\Windows\\notepad.exe",
                                          "\\notepad.exe",
                                          ""};
  FakeProcessApi api;
  api.Add(10, "C:\\Windows\\explorer.exe");
  api.Add(20, "C:\\Windows\\notepad.exe");
  EXPECT_EQ(FindRunningImages(api, names),
            (std::vector<bool>{true, true, true, false, false, false, false, false, false, false}));
  EXPECT_TRUE(api.Terminated.empty());
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
  api.Add(20, "C:\\Vex64\\VexOPC.exe");
  FakeProcess& hidden = api.Add(24, "C:\\Vex\\VexSQL.exe");
  hidden.Openable = false;
  FakeProcess& unreadable = api.Add(28, "");
  unreadable.SnapshotName = "Tallyboard.exe";
  api.Add(32, "C:\\Windows\\csrss.exe").Critical = true;
  return api;
}

const std::vector<std::string> kMixedNames = {
    "Vex.exe",      "VexSQL.exe", "VexOPC.exe",  "Tallyboard.exe", "", "VEX.EXE", "Vex", "Vex\\Vex.exe",
    "tarnwick.exe", "csrss.exe",  "Missing.exe", "services.exe"};

TEST(FindRunningImages, AnswersForEveryNameWithoutItsOwnProcessAndNothingWithoutASnapshot) {
  FakeProcessApi snapshot = MixedTable();
  EXPECT_EQ(FindRunningImages(snapshot, kMixedNames),
            (std::vector<bool>{true, false, true, false, false, true, false, false, false, true, false, false}));
  EXPECT_EQ(snapshot.OpenHandles, 0);

  FakeProcessApi failed = MixedTable();
  failed.SnapshotFails = true;
  EXPECT_EQ(FindRunningImages(failed, kMixedNames), std::vector<bool>(kMixedNames.size(), false));
  EXPECT_TRUE(failed.Opened.empty());
}

TEST(FindRunningImages, OneSnapshotAndOpensOnlyForCandidatesForAnyNumberOfRows) {
  for (int rows : {1, 9, 50, 200}) {
    FakeProcessApi api;
    for (int i = 1; i <= 300; ++i) api.Add(static_cast<ProcessId>(4 * i), "C:\\w\\Idle" + std::to_string(i) + ".exe");
    api.Add(2000, "C:\\Vex\\Vex.exe");
    api.Add(2004, "C:\\Vex\\Vex.exe");  // a second process of a confirmed image is not opened
    api.Add(2008, "C:\\Vex64\\Row0.exe");
    std::vector<std::string> names{"Vex.exe"};
    for (int i = 0; names.size() < static_cast<std::size_t>(rows); ++i)
      names.push_back("Row" + std::to_string(i) + ".exe");

    const std::vector<bool> running = FindRunningImages(api, names);
    EXPECT_EQ(api.Snapshots, 1) << rows;
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

TEST(FindRunningImages, TheSnapshotNominatesButTheImagePathDecides) {
  FakeProcessApi api;
  FakeProcess& renamed = api.Add(10, "C:\\a\\Other.exe");
  renamed.SnapshotName = "Vex.exe";
  api.Add(20, "C:\\a\\Vex.exe").Openable = false;
  EXPECT_EQ(FindRunningImages(api, {"Vex.exe", "Other.exe"}), (std::vector<bool>{false, true}));
}

TEST(FindRunningImages, NoRowsNeedNoLook) {
  FakeProcessApi api;
  api.Add(10, "C:\\a\\Vex.exe");
  EXPECT_TRUE(FindRunningImages(api, {}).empty());
  EXPECT_EQ(FindRunningImages(api, {"", ""}), (std::vector<bool>{false, false}));
  EXPECT_EQ(api.Snapshots, 0);
}

}  // namespace
}  // namespace tarnwick
