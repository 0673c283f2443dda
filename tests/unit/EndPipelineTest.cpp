// The ending pipeline over fake processes and a fake clock: which processes each mode acts on, what it
// records, the waits and limits, -k's repeated scans, and the lines and messages made from the records.
#include "process/EndPipeline.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>

#include "app/EndRun.h"
#include "app/RunJson.h"
#include "tests/unit/FakeWorld.h"

namespace tarnwick {
namespace {

using test::FakeProcess;
using test::FakeProcessApi;
using Outcomes = std::vector<std::pair<ProcessId, EndResult>>;

using World = test::FakeWorld;

Outcomes OutcomesOf(const std::vector<EndRecord>& records) {
  Outcomes outcomes;
  for (const EndRecord& r : records) outcomes.emplace_back(r.Id, r.Result);
  return outcomes;
}

// Every kind of process a run meets, with the names a search list would give.
void AddMixedTable(FakeProcessApi& api) {
  api.Self = 5;
  api.Add(5, "C:\\T\\Tarnwick.exe");
  api.Add(10, "C:\\V\\Vex.exe");
  api.Add(11, "C:\\W\\vex.EXE");
  api.Add(12, "C:\\V\\VexSQL.exe").Openable = false;
  api.Add(13, "C:\\Windows\\csrss.exe").Critical = true;
  api.Add(14, "C:\\A\\Other.exe").SnapshotName = "VexOPC.exe";  // nominated by name, refused by its module
  api.Add(15, "C:\\V\\VexUPnP.exe").TerminateRefused = true;
  api.Add(16, "C:\\V\\Tallyboard.exe").EndsAfterTerminateMs.reset();  // stays after TerminateProcess
  api.Add(17, "C:\\V\\Unlisted.exe");
  api.Add(18, "C:\\X\\Vex.exe").Openable = false;      // after a Vex.exe that one pass per image ends
  FakeProcess& gone = api.Add(19, "C:\\V\\Gone.exe");  // ended between the snapshot and the open
  gone.Openable = false;
  gone.OpenError = kErrorInvalidParameter;
  api.Add(20, "C:\\V\\VexScrMan.exe").EndsJustBeforeTerminate = true;
}
const std::vector<std::string> kMixedImages = {"Tarnwick.exe",   "Vex.exe",    "VexSQL.exe",
                                               "CSRSS.EXE",      "VexOPC.exe", "VexUPnP.exe",
                                               "Tallyboard.exe", "Gone.exe",   "VexScrMan.exe"};

// What a mixed-table run records of one process: the rest of its record follows from the table.
struct Outcome {
  ProcessId Id = 0;
  EndResult Result = EndResult::Ended;
  std::uint32_t Error = 0;
  std::uint32_t WaitedMs = 0;
};
std::vector<EndRecord> WholeRecords(const std::vector<Outcome>& outcomes) {
  // The image as the search list writes it ("vex.EXE" runs as the listed "Vex.exe").
  const std::map<ProcessId, std::string> listed = {{10, "Vex.exe"},   {11, "Vex.exe"},      {12, "VexSQL.exe"},
                                                   {13, "CSRSS.EXE"}, {15, "VexUPnP.exe"},  {16, "Tallyboard.exe"},
                                                   {18, "Vex.exe"},   {20, "VexScrMan.exe"}};
  // The program file of each that could be opened, even once it has gone.
  const std::map<ProcessId, std::wstring> paths = {{10, L"C:\\V\\Vex.exe"},         {11, L"C:\\W\\vex.EXE"},
                                                   {13, L"C:\\Windows\\csrss.exe"}, {15, L"C:\\V\\VexUPnP.exe"},
                                                   {16, L"C:\\V\\Tallyboard.exe"},  {20, L"C:\\V\\VexScrMan.exe"}};
  std::vector<EndRecord> records;
  for (const Outcome& o : outcomes) {
    records.push_back({.Image = listed.at(o.Id),
                       .Id = o.Id,
                       .Session = 1,
                       .Result = o.Result,
                       .Error = o.Error,
                       .WaitedMs = o.WaitedMs,
                       .Path = paths.contains(o.Id) ? paths.at(o.Id) : L""});
  }
  return records;
}

TEST(EndProcesses, EachModeActsOnItsProcessesAndRecordsEveryOneItCouldNotEnd) {
  using R = EndResult;
  struct Case {
    EndMode mode;
    std::vector<ProcessId> terminated;
    std::vector<Outcome> outcomes;
    int exitCode;
    bool whatIf = false;  // decides as the run would, and records what it would end
  };
  const Case cases[] = {
      {EndMode::OnePerImage,
       {10, 16},
       {{12, R::NotOpened, kErrorAccessDenied},
        {13, R::Critical},
        {18, R::NotOpened, kErrorAccessDenied},  // after the Vex.exe that is taken, and counted all the same
        {15, R::Refused, kErrorAccessDenied},
        {10, R::Ended},
        {16, R::StillRunning, 0, 5000},
        {20, R::Ended}},
       1},
      {EndMode::Every,
       {10, 11, 16},
       {{12, R::NotOpened, kErrorAccessDenied},
        {13, R::Critical},
        {18, R::NotOpened, kErrorAccessDenied},
        {15, R::Refused, kErrorAccessDenied},
        {10, R::Ended},
        {11, R::Ended},
        {16, R::StillRunning, 0, 5000},
        {20, R::Ended}},
       1},
      {EndMode::Every,
       {},
       {{12, R::NotOpened, kErrorAccessDenied},
        {13, R::Critical},
        {18, R::NotOpened, kErrorAccessDenied},
        {10, R::WouldEnd},
        {11, R::WouldEnd},
        {15, R::WouldEnd},
        {16, R::WouldEnd},
        {20, R::WouldEnd}},
       1,
       true},
      {EndMode::ListOnly,
       {},
       {{10, R::Listed},
        {11, R::Listed},
        {12, R::ListedNotOpened, kErrorAccessDenied},
        {13, R::Listed},
        {15, R::Listed},
        {16, R::Listed},
        {18, R::ListedNotOpened, kErrorAccessDenied},
        {20, R::Listed}},
       1},
  };
  for (const Case& c : cases) {
    World world;
    AddMixedTable(world.processes);
    const std::vector<EndRecord> records = world.Run(c.mode, kMixedImages, {}, EndLimits().RunMs, c.whatIf);
    EXPECT_EQ(world.processes.Terminated, c.terminated) << static_cast<int>(c.mode);
    EXPECT_EQ(records, WholeRecords(c.outcomes)) << static_cast<int>(c.mode);
    EXPECT_EQ(EndExitCode(c.mode, records), c.exitCode) << static_cast<int>(c.mode);
    EXPECT_EQ(world.processes.OpenHandles, 0);

    // In the opposite order the same failures are reported: what counts never depends on where it stands.
    World reversed;
    AddMixedTable(reversed.processes);
    std::reverse(reversed.processes.Processes.begin(), reversed.processes.Processes.end());
    const auto failures = [](std::vector<EndRecord> all) {
      std::erase_if(all, [](const EndRecord& r) { return !IsFailure(r); });
      std::ranges::sort(all, {}, &EndRecord::Id);
      return all;
    };
    const std::vector<EndRecord> again = reversed.Run(c.mode, kMixedImages, {}, EndLimits().RunMs, c.whatIf);
    EXPECT_EQ(failures(again), failures(records)) << static_cast<int>(c.mode);
    EXPECT_EQ(EndExitCode(c.mode, again), c.exitCode) << static_cast<int>(c.mode);
  }
}

TEST(EndProcesses, NothingToEndIsSuccessAndAnEndAwaitedInTimeToo) {
  World world;
  world.processes.Add(10, "C:\\V\\Unlisted.exe");
  EXPECT_EQ(EndExitCode(EndMode::Every, world.Run(EndMode::Every, {"Vex.exe"})), 0);
  EXPECT_EQ(EndExitCode(EndMode::ListOnly, world.Run(EndMode::ListOnly, {"Vex.exe"})), 0);

  world.processes.Add(20, "C:\\V\\Vex.exe").EndsAfterTerminateMs = 4900;
  world.processes.Add(21, "C:\\V\\VexSQL.exe").EndsAfterTerminateMs = 5100;
  const std::uint64_t start = world.clock.Now;
  const std::vector<EndRecord> records = world.Run(EndMode::OnePerImage, {"Vex.exe", "VexSQL.exe"});
  // Both were told to end at once: the waits overlap, each capped at 5 s.
  EXPECT_EQ(OutcomesOf(records), (Outcomes{{20, EndResult::Ended}, {21, EndResult::StillRunning}}));
  EXPECT_EQ(records[1].WaitedMs, 5000u);
  EXPECT_EQ(world.clock.Now - start, 5000u);
  // The wait is on a handle that has SYNCHRONIZE, opened while the identity handle is held.
  const auto& rights = world.processes.Rights;
  EXPECT_NE(std::find(rights.begin(), rights.end(), kSynchronizeRights), rights.end());
}

TEST(EndProcesses, KillsLimitIsAFailureWhenProcessesKeepComingBackWhateverTheLastScanSaw) {
  struct Case {
    const char* name;
    std::uint32_t restartMs;  // a supervisor starts the image again this long after each end
    std::uint32_t runMs;
    std::vector<EndRecord> tail;  // the run's last records
  };
  const auto left = [](const std::string& image, ProcessId id) {
    return EndRecord{.Image = image,
                     .Id = id,
                     .Session = 1,
                     .Result = EndResult::LeftAtLimit,
                     .WaitedMs = 30000,
                     .Path = L"C:\\V\\" + std::wstring(image.begin(), image.end())};
  };
  const auto back = [](const std::string& image, ProcessId id, std::uint32_t runMs, std::uint32_t times) {
    return EndRecord{.Image = image,
                     .Id = id,
                     .Session = 1,
                     .Result = EndResult::KeptComingBack,
                     .WaitedMs = runMs,
                     .TimesEnded = times,
                     .Path = L"C:\\V\\" + std::wstring(image.begin(), image.end())};
  };
  const Case cases[] = {
      {"back at once: both still there at the limit",
       0,
       30000,
       {left("Vex.exe", 6010), left("VexSQL.exe", 6020), back("Vex.exe", 5910, 30000, 60),
        back("VexSQL.exe", 5920, 30000, 60)}},
      {"the last scan falls between an end and the restart",
       300,
       30200,
       {back("Vex.exe", 6010, 30200, 61), back("VexSQL.exe", 6020, 30200, 61)}},
  };
  for (const Case& c : cases) {
    World world;
    world.processes.Add(10, "C:\\V\\Vex.exe");
    world.processes.Add(20, "C:\\V\\VexSQL.exe");
    world.processes.OnTerminate = [&](ProcessId id) {
      FakeProcess& restarted = world.processes.Add(id + 100, world.processes.Find(id)->ImagePath);
      restarted.StartsAt = world.clock.Now + c.restartMs;
    };
    const std::uint64_t start = world.clock.Now;
    const std::vector<EndRecord> records = world.Run(EndMode::Every, {"Vex.exe", "VexSQL.exe"}, {}, c.runMs);
    ASSERT_GE(records.size(), c.tail.size()) << c.name;
    EXPECT_EQ(std::vector<EndRecord>(records.end() - static_cast<std::ptrdiff_t>(c.tail.size()), records.end()), c.tail)
        << c.name;
    EXPECT_EQ(EndExitCode(EndMode::Every, records), 1) << c.name;
    EXPECT_EQ(world.clock.Now - start, c.runMs) << c.name;
  }

  // One that stays away ends the run after the quiet period: a look every 0.5 s for 3 s.
  World once;
  once.processes.Add(10, "C:\\V\\Vex.exe");
  once.processes.Add(11, "C:\\V\\Vex.exe");
  const std::vector<EndRecord> both = once.Run(EndMode::Every, {"Vex.exe"});
  EXPECT_EQ(OutcomesOf(both), (Outcomes{{10, EndResult::Ended}, {11, EndResult::Ended}}));
  EXPECT_EQ(once.processes.Snapshots, 7);
}

TEST(EndProcesses, TheWindowStaysAliveDuringEveryWait) {
  World world;
  world.processes.Add(10, "C:\\V\\Vex.exe").EndsAfterTerminateMs = 1000;
  world.processes.Add(15, "C:\\V\\VexUPnP.exe").TerminateRefused = true;
  world.processes.Add(16, "C:\\V\\Tallyboard.exe").EndsAfterTerminateMs.reset();
  std::vector<std::uint64_t> calls;
  std::string status;
  const auto keepAlive = [&](const std::string& text) {
    calls.push_back(world.clock.Now);
    status = text;
  };
  test::KeptLines lines;
  const std::uint64_t start = world.clock.Now;
  const std::string message =
      TerminateFromWindow({"Vex.exe", "VexUPnP.exe", "Tallyboard.exe"}, world.seams, lines, keepAlive);
  ASSERT_GE(calls.size(), 2000u / kKeepAliveMs);
  for (std::size_t i = 1; i < calls.size(); ++i) EXPECT_LE(calls[i] - calls[i - 1], kKeepAliveMs);
  EXPECT_EQ(status, "Waiting for Tallyboard.exe to end");
  EXPECT_EQ(world.clock.Now - start, 2000u);  // the window waits about 2 s in all
  EXPECT_EQ(message,
            "These processes could not be ended:\n\n"
            "VexUPnP.exe (process 15): Windows refused: access denied: start Tarnwick as administrator\n"
            "Tallyboard.exe (process 16): still running after the wait (2.0 s)");
  EXPECT_EQ(lines.All.size(), 5u);  // with the run's start and end
  EXPECT_EQ(lines.All[2].substr(29), "\tTerminate\tVex.exe\t10\t1\tended\t-\tC:\\V\\Vex.exe");
  EXPECT_EQ(WindowFailureMessage({{.Image = "Vex.exe", .Id = 10, .Result = EndResult::Ended}}), "");
}

TEST(EndProcesses, TheWindowSeesAndEndsItsOwnSessionsAndServicesProcessesTheRunsEverySessions) {
  World world;
  world.processes.Add(10, "C:\\V\\Tallyboard.exe").Session = 2;  // another signed-in user's, first by id
  world.processes.Add(11, "C:\\V\\Tallyboard.exe");              // the window's user's, session 1
  world.processes.Add(12, "C:\\V\\Vex.exe").Session = 0;         // a service's
  world.processes.Add(13, "C:\\V\\VexSQL.exe").Session = 3;      // only in another session
  const std::vector<std::string> images = {"Tallyboard.exe", "Vex.exe", "VexSQL.exe"};
  EXPECT_EQ(FindRunningImages(world.processes, images, SessionScope::WindowOf(1)),
            (std::vector<bool>{true, true, false}));
  test::KeptLines lines;
  EXPECT_EQ(TerminateFromWindow(images, world.seams, lines, {}), "");
  EXPECT_EQ(world.processes.Terminated, (std::vector<ProcessId>{11, 12}));
  for (ProcessId other : {10u, 13u}) EXPECT_EQ(std::ranges::count(world.processes.Opened, other), 0) << other;

  EXPECT_EQ(RunUnattended(RunSwitch::Kill, images, world.seams, lines, {}), 0);
  EXPECT_EQ(world.processes.Terminated, (std::vector<ProcessId>{11, 12, 10, 13}));
}

TEST(EndRun, TheLinesOfARunAndTheRefusedRun) {
  World world;
  world.processes.Self = 5;
  world.processes.Add(5, "C:\\T\\Tarnwick.exe");
  world.processes.Add(10, "C:\\V\\Vex.exe");
  world.processes.Add(12, "C:\\V\\VexSQL.exe").Openable = false;
  // The text lines and the JSON Lines of the same entries.
  struct Lines : LineSink {
    std::string All;
    std::vector<std::string> Json;
    void WriteLine(const std::string& line) override { All += line + "\n"; }
    void Write(const RunEntry& entry) override {
      LineSink::Write(entry);
      Json.push_back(JsonLine(entry));
    }
  } lines;
  const RunInfo info{.ExeImage = "Tarnwick.exe",
                     .OwnId = 5,
                     .OwnSession = 1,
                     .StartNote = "debug privilege enabled",
                     .RunId = "r1",
                     .Version = "1.0.0",
                     .ExePath = L"C:\\T\\Tarnwick.exe"};
  EXPECT_EQ(RunUnattended(RunSwitch::List, {"Vex.exe", "VexSQL.exe", "Tarnwick.exe"}, world.seams, lines, info), 1);
  EXPECT_EQ(RefuseUnattended(RunSwitch::Auto, world.clock, lines, info), kExitAnotherRuns);
  const std::string t = "2024-05-06T02:00:01.015+02:00\t";
  const std::string self = "\tC:\\T\\Tarnwick.exe\n";
  EXPECT_EQ(
      lines.All,
      t + "-l\tTarnwick.exe\t5\t1\trun started\tdebug privilege enabled" + self + t +
          "-l\tVex.exe\t10\t1\tlisted\t-\tC:\\V\\Vex.exe\n" + t +
          "-l\tVexSQL.exe\t12\t1\tlisted\tcould not open it: access denied: start Tarnwick as administrator\t-\n" + t +
          "-l\tTarnwick.exe\t5\t1\trun ended\texit code 1, 0.0 s" + self + t +
          "-a\tTarnwick.exe\t5\t1\trun started\tdebug privilege enabled" + self + t +
          "-a\tTarnwick.exe\t5\t1\trun ended\texit code 2, 0.0 s: another Tarnwick runs from this folder; "
          "nothing was done" +
          self);
  const std::string common = R"({"tarnwick":1,"run":"r1","type":)";
  const std::string at = R"("time":"2024-05-06T00:00:01.015Z",)";
  EXPECT_EQ(lines.Json, (std::vector<std::string>{
                            common + R"("start",)" + at +
                                R"("mode":"list","version":"1.0.0","bitness":32,"pid":5,"session":1,"elevated":false,)"
                                R"("path":"C:\\T\\Tarnwick.exe","scope":null,"options":{"grace":null,"wait":null,)"
                                R"("service":null,"limit":null,"json":false,"whatIf":false},)"
                                R"("detail":"run started: debug privilege enabled"})",
                            common + R"("process",)" + at +
                                R"("mode":"list","image":"Vex.exe","pid":10,"session":1,"created":null,)"
                                R"("path":"C:\\V\\Vex.exe","services":[],"hasWindows":false,"outcome":"listed",)"
                                R"("reason":null,"error":null,"detail":"listed","seconds":0.000})",
                            common + R"("process",)" + at +
                                R"("mode":"list","image":"VexSQL.exe","pid":12,"session":1,"created":null,)"
                                R"("path":null,"services":[],"hasWindows":false,"outcome":"listed",)"
                                R"("reason":"notOpened","error":5,"detail":"listed: could not open it: access )"
                                R"(denied: start Tarnwick as administrator","seconds":0.000})",
                            common + R"("end",)" + at +
                                R"("mode":"list","exit":1,"seconds":0.000,"outcome":"running","counts":{"ended":0,)"
                                R"("closed":0,"forced":0,"notEnded":0,"stillRunning":0,"keptComingBack":0,)"
                                R"("listed":2,"stopped":0,"notStopped":0},"detail":"run ended"})",
                            lines.Json[4],
                            common + R"("end",)" + at +
                                R"("mode":"auto","exit":2,"seconds":0.000,"outcome":"anotherRuns","counts":)"
                                R"({"ended":0,"closed":0,"forced":0,"notEnded":0,"stillRunning":0,)"
                                R"("keptComingBack":0,"listed":0,"stopped":0,"notStopped":0},"detail":"another )"
                                R"(Tarnwick runs from this folder; nothing was done"})"}));
  EXPECT_TRUE(world.processes.IsAlive(10));
}

// The texts of the other results are shown where those results are made.
TEST(EndRecord, LogLinesOfTheResultsShownNowhereElse) {
  using R = EndResult;
  struct Case {
    EndRecord record;
    const char* line;  // after the time and the source
  };
  const Case cases[] = {
      {{.Image = "Vex.exe", .Id = 7, .Session = 1, .Result = R::Ended, .WaitedMs = 1},
       "Vex.exe\t7\t1\tended\tforced after 0.0 s\t-"},
      {{.Image = "Vex.exe", .Id = 7, .Session = 1, .Result = R::KeptComingBack, .WaitedMs = 30000, .TimesEnded = 60},
       "Vex.exe\t7\t1\tkept coming back\tended 60 times until the time limit ran out (30.0 s)\t-"},
      {{.Image = "Vex.exe",
        .Id = 7,
        .Session = 0,
        .Service = "Eng",
        .Result = R::ServiceForced,
        .Error = 1053,
        .WaitedMs = 20000},
       "Vex.exe\t7\t0\tservice Eng: forced after 20.0 s\tthe service manager did not answer the stop request\t-"},
      {{.Image = "Vex.exe", .Id = 7, .Session = 0, .Result = R::Critical},
       "Vex.exe\t7\t0\tcould not end\ta critical process: ending it would stop Windows\t-"},
      {{.Image = "Vex.exe", .Id = 7, .Session = 2, .Result = R::Refused, .Error = 1234},
       "Vex.exe\t7\t2\tcould not end\tWindows refused: system error 1234\t-"},
      {{.Image = "Vex.exe", .Id = 7, .Session = 0, .Service = "Eng", .Result = R::ServiceNotStopped, .WaitedMs = 1500},
       "Vex.exe\t7\t0\tservice Eng: could not stop\tit did not stop within 1.5 s\t-"},
      {{.Image = "Vex.exe", .Id = 7, .Session = 0, .Service = "Eng", .Result = R::ServiceNotStopped, .Error = 1053},
       "Vex.exe\t7\t0\tservice Eng: could not stop\tthe service did not answer in time\t-"},
      {{.Image = "svchost.exe", .Id = 7, .Session = 0, .Result = R::SharedHost, .Names = {"Eng", "Agent"}},
       "svchost.exe\t7\t0\tcould not end\ta shared service host (Eng, Agent): never ended by force\t-"},
      {{.Result = R::OnlyOutside, .Names = {"A.exe", "B.exe", "C.exe"}},
       "-\t-\t-\tnone in the folder\tlisted images run only outside it: A.exe, B.exe, C.exe\t-"},
      {{.Result = R::ServicesNotAsked, .Error = 1062},
       "-\t-\t-\tservices not asked to stop\tthe service manager could not be asked: the service is not running; "
       "processes are ended without a stop request\t-"},
      {{.Image = "Tab\tName.exe", .Id = 7, .Session = 1, .Result = R::Ended, .Path = L"D:\\V\u0113x\\Tab\tName.exe"},
       "Tab\\x09Name.exe\t7\t1\tended\t-\tD:\\V\xC4\x93x\\Tab\\x09Name.exe"},  // the path in UTF-8, escaped
  };
  for (const Case& c : cases) {
    EXPECT_EQ(LogLine({2024, 12, 31, 23, 59, 58, 7, -330}, "-k", c.record),
              std::string("2024-12-31T23:59:58.007-05:30\t-k\t") + c.line);
  }
  EXPECT_EQ(LogLine({2024, 1, 2, 3, 4, 5, 6, 0}, "-a", cases[0].record),
            std::string("2024-01-02T03:04:05.006+00:00\t-a\t") + cases[0].line);
}

// The privilege is on while the pass ends processes, then as it was; the start line says whether it was had.
TEST(EndRun, TheDebugPrivilegeIsHeldForThePassOnly) {
  struct FakePrivilege : PrivilegeApi {
    bool TokenHolds = true;
    bool On = false;
    bool Enable(bool& wasEnabled) override {
      wasEnabled = On;
      On = On || TokenHolds;
      return TokenHolds;
    }
    void Disable() override { On = false; }
  };
  const struct {
    bool tokenHolds, onBefore;
    const char* note;
  } cases[] = {
      {true, false, "debug privilege enabled; a warning"},
      {true, true, "debug privilege enabled; a warning"},
      {false, false, "debug privilege not held: not an elevated administrator; a warning"},
  };
  for (const auto& c : cases) {
    World world;
    world.processes.Add(10, "C:\\V\\Vex.exe");
    FakePrivilege privilege;
    privilege.TokenHolds = c.tokenHolds;
    privilege.On = c.onBefore;
    std::vector<bool> onAtEnd;
    world.processes.OnTerminate = [&](ProcessId) { onAtEnd.push_back(privilege.On); };
    test::KeptLines lines;
    const RunInfo info{.ExeImage = "Tarnwick.exe", .OwnId = 5, .StartNote = "a warning", .Rights = &privilege};
    EXPECT_EQ(RunUnattended(RunSwitch::Auto, {"Vex.exe"}, world.seams, lines, info), kExitDone);
    EXPECT_EQ(onAtEnd, std::vector<bool>{c.tokenHolds}) << c.note;
    EXPECT_EQ(privilege.On, c.onBefore) << c.note;
    EXPECT_EQ(lines.All.front().substr(lines.All.front().rfind("\trun started\t") + 13), std::string(c.note) + "\t-");
  }
}

// /tree: what was ended, then its children, then theirs, a level at a time; never a process created before
// its would-be parent (that id went to another since), a stranger under an id reused after the snapshot,
// a critical one, or Tarnwick's own line.
TEST(EndProcesses, TreeEndsTheDescendantsRootFirstAndNoStranger) {
  for (const bool tree : {true, false}) {
    World world;
    FakeProcessApi& api = world.processes;
    api.Time = &world.clock;
    api.Self = 5;
    const auto add = [&](ProcessId id, const std::string& image, ProcessId parent, std::uint64_t created) -> auto& {
      FakeProcess& p = api.Add(id, "C:\\Elsewhere\\" + image);
      p.Parent = parent;
      p.CreatedAt = created;
      return p;
    };
    add(4, "Script.exe", 10, 200);  // started Tarnwick
    add(5, "Tarnwick.exe", 4, 300);
    add(10, "Vex.exe", 1, 100);
    add(20, "Helper.exe", 10, 150);
    add(30, "Worker.exe", 20, 160);
    add(31, "Old.exe", 20, 120);
    add(32, "Stranger.exe", 20, 170).ReusedAt = 400;
    add(33, "Csrss.exe", 20, 170).Critical = true;
    add(40, "Other.exe", 1, 150);
    EndRequest request;
    request.Images = {"Vex.exe"};
    request.Tree = tree;
    std::vector<std::string> lines;
    for (const EndRecord& r : EndProcesses(world.seams, request)) {
      const std::string line = LogLine({}, "-a", r);
      const std::size_t start = line.find("-a\t") + 3;
      lines.push_back(line.substr(start, line.rfind('\t') - start));  // the program's path left out
    }
    if (!tree) {
      EXPECT_EQ(api.Terminated, std::vector<ProcessId>{10});
      continue;
    }
    EXPECT_EQ(api.Terminated, (std::vector<ProcessId>{10, 20, 30}));
    EXPECT_EQ(lines, (std::vector<std::string>{
                         "Vex.exe\t10\t1\tended\t-",
                         "Helper.exe\t20\t1\tended\tchild of Vex.exe (10)",
                         "Csrss.exe\t33\t1\tcould not end\ta critical process: ending it would stop Windows; child of "
                         "Helper.exe (20)",
                         "Worker.exe\t30\t1\tended\tchild of Helper.exe (20)",
                     }));
  }
}

TEST(EndProcesses, AForcedServiceWhoseRecoveryStartsItAgainIsNamed) {
  World world;
  world.processes.Add(10, "C:\\Vex\\Vex.exe").Session = 0;
  test::FakeService& engine = world.services.Add("VexEngine", 10);
  engine.Behaviour = test::FakeService::OnStop::Ignores;
  engine.RestartDelaysMs = {60000, 120000};
  EndRecord restart = world.Run(EndMode::OnePerImage, {"Vex.exe"}).back();
  restart.Path.clear();
  restart.Created = 0;
  EXPECT_EQ(restart, (EndRecord{.Image = "Vex.exe",
                                .Id = 10,
                                .Session = 0,
                                .Service = "VexEngine",
                                .Result = EndResult::WillRestart,
                                .Names = {"restart after 60 s", "restart after 120 s"}}));
}

}  // namespace
}  // namespace tarnwick
