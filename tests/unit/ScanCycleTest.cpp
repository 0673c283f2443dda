// The scan cycle's rules: refresh, marks, Select all / Unselect all, the terminate pass, deleted entries.
#include "ui/ScanCycle.h"

#include <gtest/gtest.h>

#include <functional>

#include "tests/unit/FakeProcessApi.h"
#include "tests/unit/FakeServiceApi.h"
#include "ui/AutoRun.h"

namespace tarnwick {
namespace {

using test::FakeProcessApi;

SearchList ListOf(const std::vector<std::string>& names) {
  SearchList list;
  for (std::size_t i = 0; i < names.size(); ++i) list.AddSearchEntry(names[i], "d", i < 2);
  return list;
}

// Processes, the service manager and the clock as fakes, and the Terminate command's pass over them:
// one process of each image.
struct Ending {
  FakeProcessApi api;
  test::FakeClock clock;
  test::FakeServiceApi services{api, clock};
  void FirstOfEach(const std::vector<std::string>& images) {
    EndRequest request;
    request.Images = images;
    EndProcesses({api, services, clock}, request);
  }
};

std::vector<std::uint32_t> ItemData(const ScanCycle& scan) {
  std::vector<std::uint32_t> data;
  for (const ResideLine& line : scan.Lines()) data.push_back(line.ItemData);
  return data;
}

TEST(ScanCycle, NothingRunningLeavesTheListEmpty) {
  SearchList list = ListOf({"A.exe", "B.exe", "C.exe"});
  ScanCycle scan;
  scan.RefreshResideList(list, std::vector<bool>{false, false, false}, false);
  EXPECT_TRUE(scan.Lines().empty());
}

TEST(ScanCycle, ARowThatStartsRunningGetsOneLineAtTheEnd) {
  for (bool autoMode : {false, true}) {
    SearchList list = ListOf({"A.exe", "B.exe", "C.exe"});
    ScanCycle scan;
    scan.RefreshResideList(list, {false, false, true}, autoMode);
    scan.RefreshResideList(list, {true, false, true}, autoMode);
    scan.RefreshResideList(list, {true, false, true}, autoMode);  // nothing new: no second line
    const std::vector<ResideLine> expected{{"C.exe", 3, autoMode}, {"A.exe", 1, autoMode}};
    EXPECT_EQ(scan.Lines(), expected) << autoMode;
  }
}

TEST(ScanCycle, RowsBeyondAShortAnswerAreNotRunning) {
  SearchList list = ListOf({"A.exe", "B.exe", "C.exe"});
  ScanCycle scan;
  scan.RefreshResideList(list, {true, true, true}, false);
  scan.RefreshResideList(list, {true}, false);
  EXPECT_EQ(scan.Lines(), (std::vector<ResideLine>{{"A.exe", 1, false}}));
}

TEST(ScanCycle, TheLineShowsTheEntrysNameAsTheEntryWritesIt) {
  SearchList list = ListOf({"Vex.exe"});
  FakeProcessApi api;
  api.Add(10, "C:\\x\\VEX.EXE");
  ScanCycle scan;
  scan.RefreshResideList(list, api, false);
  ASSERT_EQ(scan.Lines().size(), 1u);
  EXPECT_EQ(scan.Lines()[0].Text, "Vex.exe");
}

TEST(ScanCycle, MarksAreKeptAcrossTicksAndLinesGoByPosition) {
  SearchList list = ListOf({"A.exe", "B.exe", "C.exe", "D.exe"});
  ScanCycle scan;
  scan.RefreshResideList(list, {true, true, true, true}, false);
  scan.SetMark(1, true);
  scan.SetMark(3, true);
  for (int tick = 0; tick < 3; ++tick) scan.RefreshResideList(list, {true, true, true, true}, false);
  EXPECT_EQ(scan.TerminateTargets(), (std::vector<std::string>{"B.exe", "D.exe"}));

  scan.RefreshResideList(list, {true, false, true, true}, false);
  const std::vector<ResideLine> expected{{"A.exe", 1, false}, {"C.exe", 3, false}, {"D.exe", 4, true}};
  EXPECT_EQ(scan.Lines(), expected);
  // Coming back, the row's line is new: at the end and unmarked.
  scan.RefreshResideList(list, {true, true, true, true}, false);
  EXPECT_EQ(scan.Lines().back(), (ResideLine{"B.exe", 2, false}));
}

TEST(ScanCycle, SelectAllAndUnselectAll) {
  ScanCycle empty;
  empty.SetAllMarks(true);
  empty.SetAllMarks(false);
  EXPECT_TRUE(empty.Lines().empty());

  SearchList list = ListOf({"A.exe", "B.exe", "C.exe"});
  ScanCycle scan;
  scan.RefreshResideList(list, {true, true, true}, false);
  scan.SetMark(1, true);
  EXPECT_FALSE(scan.SetMark(3, true));  // past the end: no line to mark
  EXPECT_EQ(scan.TerminateTargets(), (std::vector<std::string>{"B.exe"}));
  scan.SetAllMarks(true);
  EXPECT_EQ(scan.TerminateTargets(), (std::vector<std::string>{"A.exe", "B.exe", "C.exe"}));
  scan.SetAllMarks(false);
  EXPECT_TRUE(scan.TerminateTargets().empty());
  EXPECT_EQ(scan.Lines().size(), 3u);
}

TEST(ScanCycle, TerminateWithNothingMarkedEndsNothing) {
  SearchList list = ListOf({"A.exe"});
  Ending ending;
  FakeProcessApi& api = ending.api;
  api.Add(10, "C:\\x\\A.exe");
  ScanCycle scan;
  scan.RefreshResideList(list, api, false);
  const int snapshots = api.Snapshots;
  ending.FirstOfEach(scan.TerminateTargets());
  EXPECT_TRUE(api.Terminated.empty());
  EXPECT_EQ(api.Snapshots, snapshots);  // not even a look at the processes
}

TEST(ScanCycle, TerminateEndsOneProcessPerMarkedLineAndTheLineStaysWhileAnotherRuns) {
  SearchList list = ListOf({"A.exe", "B.exe", "C.exe"});
  Ending ending;
  FakeProcessApi& api = ending.api;
  api.Add(10, "C:\\x\\A.exe");
  api.Add(20, "C:\\x\\B.exe");
  api.Add(30, "C:\\y\\B.exe");
  api.Add(40, "C:\\x\\C.exe");
  ScanCycle scan;
  scan.RefreshResideList(list, api, false);
  scan.SetMark(1, true);  // B
  scan.SetMark(2, true);  // C

  ending.FirstOfEach(scan.TerminateTargets());
  EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{20, 40}));
  EXPECT_EQ(scan.Lines().size(), 3u);  // the pass itself changes no line
  scan.RefreshResideList(list, api, false);
  EXPECT_EQ(scan.Lines(), (std::vector<ResideLine>{{"A.exe", 1, false}, {"B.exe", 2, true}}));

  ending.FirstOfEach(scan.TerminateTargets());
  EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{20, 40, 30}));
  scan.RefreshResideList(list, api, false);
  EXPECT_EQ(scan.Lines(), (std::vector<ResideLine>{{"A.exe", 1, false}}));
  EXPECT_TRUE(api.IsAlive(10));
}

TEST(ScanCycle, EveryTickTakesOneSnapshotWhateverTheNumberOfRows) {
  for (int rows : {9, 50}) {
    std::vector<std::string> names;
    for (int i = 0; i < rows; ++i) names.push_back("Row" + std::to_string(i) + ".exe");
    SearchList list = ListOf(names);
    FakeProcessApi api;
    for (int i = 1; i <= 200; ++i) api.Add(static_cast<ProcessId>(4 * i), "C:\\w\\Idle" + std::to_string(i) + ".exe");
    api.Add(1000, "C:\\x\\Row3.exe");
    ScanCycle scan;
    for (int tick = 1; tick <= 3; ++tick) {
      scan.RefreshResideList(list, api, false);
      EXPECT_EQ(api.Snapshots, tick);
      EXPECT_EQ(api.Opened.size(), static_cast<std::size_t>(tick));  // only Row3's process, once a tick
    }
    EXPECT_EQ(scan.Lines(), (std::vector<ResideLine>{{"Row3.exe", 4, false}}));
  }
}

TEST(ScanCycle, ADeletedEntryTakesItsLineAndLaterLinesFollowTheirRows) {
  SearchList list = ListOf({"A.exe", "B.exe", "C.exe", "D.exe", "E.exe"});
  ScanCycle scan;
  scan.RefreshResideList(list, {false, false, true, false, true}, false);
  scan.RefreshResideList(list, {true, true, true, false, true}, false);
  scan.SetMark(1, true);  // E
  ASSERT_EQ(ItemData(scan), (std::vector<std::uint32_t>{3, 5, 1, 2}));

  list.Remove(3);
  scan.OnEntryDeleted(3);
  EXPECT_EQ(ItemData(scan), (std::vector<std::uint32_t>{4, 1, 2}));
  EXPECT_TRUE(scan.Lines()[0].Marked);
  // The refresh now ties E's line to E's new position: E stopping removes E's line, not another.
  scan.RefreshResideList(list, {true, true, false, false}, false);
  EXPECT_EQ(scan.Lines(), (std::vector<ResideLine>{{"A.exe", 1, false}, {"B.exe", 2, false}}));

  // Deleting a row without a line only shifts the later ones.
  scan.RefreshResideList(list, {true, true, false, true}, false);
  list.Remove(3);
  scan.OnEntryDeleted(3);
  EXPECT_EQ(ItemData(scan), (std::vector<std::uint32_t>{1, 2, 3}));
  scan.RefreshResideList(list, {true, true, true}, false);
  EXPECT_EQ(scan.Lines().size(), 3u);
}

// Edit gave the row another image: the old image's line must not stay, or Terminate would end an
// image that is no longer listed.
TEST(ScanCycle, ARenamedEntryLosesItsLineAndTheNewImageGetsOneAtTheNextTick) {
  SearchList list = ListOf({"A.exe", "B.exe", "Alpha.exe", "D.exe"});
  ScanCycle scan;
  scan.RefreshResideList(list, {false, false, true, true}, false);
  scan.SetAllMarks(true);
  ASSERT_EQ(list.EditSearchEntry(3, "Beta.exe", ""), EditOutcome::NewImage);
  scan.OnEntryRenamed(3);
  EXPECT_EQ(scan.Lines(), (std::vector<ResideLine>{{"D.exe", 4, true}}));
  EXPECT_TRUE(scan.TerminateTargets() == std::vector<std::string>{"D.exe"});
  // Beta runs: the refresh sees the row as not yet listed and adds its line.
  scan.RefreshResideList(list, {false, false, true, true}, false);
  EXPECT_EQ(scan.Lines(), (std::vector<ResideLine>{{"D.exe", 4, true}, {"Beta.exe", 3, false}}));
}

// A view that follows the events alone, as the running list's control does.
class MirrorView : public ResideListEvents {
 public:
  explicit MirrorView(const ScanCycle& model) : model_(model) {}
  void LineAdded(std::size_t line) override {
    ASSERT_EQ(line, lines.size());
    lines.push_back(model_.Lines()[line]);
  }
  void LineRemoved(std::size_t line) override { lines.erase(lines.begin() + static_cast<std::ptrdiff_t>(line)); }
  void LineChanged(std::size_t line) override { lines.at(line) = model_.Lines()[line]; }
  std::vector<ResideLine> lines;

 private:
  const ScanCycle& model_;
};

TEST(ScanCycle, AViewThatFollowsTheEventsShowsTheLinesAsTheModelHoldsThem) {
  SearchList list = ListOf({"A.exe", "B.exe", "C.exe", "D.exe", "E.exe"});
  ScanCycle scan;
  MirrorView view(scan);
  scan.Watch(&view);
  const std::vector<std::function<void()>> steps = {
      [&] {
        scan.RefreshResideList(list, {false, true, true, false, true}, false);
      },
      [&] { scan.SetMark(2, true); },
      [&] {
        scan.RefreshResideList(list, {true, true, false, true, true}, false);
      },
      [&] { scan.SetAllMarks(true); },
      [&] { scan.SetMark(0, false); },
      [&] {
        list.Remove(2);
        scan.OnEntryDeleted(2);
      },
      [&] { scan.OnEntryRenamed(3); },
      [&] { scan.SetAllMarks(false); },
      [&] {
        scan.RefreshResideList(list, {false, false, false, false}, true);
      },
  };
  for (std::size_t step = 0; step < steps.size(); ++step) {
    steps[step]();
    EXPECT_EQ(view.lines, scan.Lines()) << "after step " << step;
  }
}

TEST(AutoRun, OneRefreshWithEveryLineMarkedOnePassItsResultAndNothingMore) {
  SearchList list = ListOf({"A.exe", "B.exe", "C.exe"});
  FakeProcessApi api;
  api.Add(10, "C:\\x\\C.exe");
  api.Add(20, "C:\\x\\A.exe");
  std::vector<std::vector<std::string>> passes;
  const TerminatePass pass = [&](const std::vector<std::string>& images) {
    passes.push_back(images);
    return 7;
  };
  ScanCycle scan;
  AutoRun run;
  EXPECT_EQ(run.Tick(scan, list, api, pass), 7);
  EXPECT_EQ(scan.TerminateTargets(), (std::vector<std::string>{"A.exe", "C.exe"}));  // every new line marked
  // The pass hears of every listed image: one that runs unseen (it may not be opened) is counted too.
  EXPECT_EQ(passes, (std::vector<std::vector<std::string>>{{"A.exe", "B.exe", "C.exe"}}));
  EXPECT_EQ(run.Tick(scan, list, api, pass), std::nullopt);  // a tick that slipped in
  EXPECT_EQ(passes.size(), 1u);
  EXPECT_EQ(api.Snapshots, 1);
}

TEST(AutoRun, APassThatThrowsStillGivesTheRunAFailedResult) {
  SearchList list = ListOf({"A.exe"});
  FakeProcessApi api;
  ScanCycle scan;
  AutoRun run;
  EXPECT_EQ(run.Tick(scan, list, api, [](const std::vector<std::string>&) -> int { throw std::bad_alloc(); }), 1);
}

}  // namespace
}  // namespace tarnwick
