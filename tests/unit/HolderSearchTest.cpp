// The holder search over fakes: what counts as holding the folder, who never counts, what is ended with
// "/all", and the exit codes 6 and 0 that follow.
#include "process/Holders.h"

#include <gtest/gtest.h>

#include <map>

#include "tests/unit/FakeWorld.h"

namespace tarnwick {
namespace {

using test::FakeProcessApi;

// What each process holds beyond its program file, and how it can be read.
class FakeHolders : public HolderApi {
 public:
  explicit FakeHolders(FakeProcessApi& processes) : processes_(processes) {}
  std::map<ProcessId, ProcessId> Parents;
  std::map<ProcessId, std::uint64_t> Created;
  std::map<ProcessId, std::vector<HeldFile>> Held;  // modules and views
  std::vector<OpenFile> Handles;
  std::map<ProcessId, Inspection> Unreadable;
  std::uint32_t NamesGivenUp = 0;

  bool Processes(std::vector<HolderProcess>& out) override {
    out.clear();
    std::vector<SnapshotEntry> entries;
    processes_.Snapshot(entries);
    for (const SnapshotEntry& e : entries) {
      out.push_back(
          {.Id = e.Id, .Parent = Parents[e.Id], .Created = Created[e.Id], .Session = e.Session, .Image = e.ExeName});
    }
    return true;
  }
  Inspection Inspect(ProcessId id, std::vector<HeldFile>& held, std::uint32_t& error) override {
    const test::FakeProcess* p = processes_.Find(id);
    held = {{.Way = HoldWay::Program, .Path = std::wstring(p->ImagePath.begin(), p->ImagePath.end())}};
    const auto unreadable = Unreadable.find(id);
    if (unreadable != Unreadable.end()) {
      error = kErrorAccessDenied;
      return unreadable->second;
    }
    held.insert(held.end(), Held[id].begin(), Held[id].end());
    return Inspection::Read;
  }
  HandleScan OpenFiles(const std::set<ProcessId>& skip, std::uint32_t) override {
    HandleScan scan{.NamesGivenUp = NamesGivenUp};
    for (const OpenFile& open : Handles) {
      if (!skip.contains(open.Id) && processes_.IsAlive(open.Id)) scan.Files.push_back(open);
    }
    return scan;
  }

 private:
  FakeProcessApi& processes_;
};

struct World : test::FakeWorld {
  FakeHolders holders{processes};
  test::KeptLines lines;

  World() {
    seams.Holders = &holders;
    processes.Time = &clock;
    processes.Self = 5;
    processes.Add(5, "D:\\Vex\\tools\\Tarnwick.exe");  // inside the folder it frees: never counts
    processes.Add(6, "D:\\Vex\\setup.exe");            // its starter: named, left alone
    holders.Parents[5] = 6;
  }
  int Run(RunSwitch runSwitch, const std::vector<std::string>& images, bool all = false) {
    lines.Clear();
    RunOptions options;
    options.Folder = L"D:\\Vex";
    options.All = all;
    return RunUnattended(runSwitch, images, seams, lines, {.ExeImage = "Tarnwick.exe", .OwnId = 5}, options);
  }
  // A line as given, its last field (the program's path) left out.
  bool Logged(const std::string& body) const {
    return std::any_of(lines.Untimed.begin(), lines.Untimed.end(),
                       [&](const std::string& line) { return line.substr(0, line.rfind('\t')) == body; });
  }
};

TEST(HolderSearch, EveryWayOfHoldingIsNamedWithCodeSixAndNothingForeignIsEnded) {
  World world;
  world.processes.Add(20, "D:\\Vex\\bin\\VexAgent.exe");
  world.processes.Add(21, "C:\\Report\\Host.exe");
  world.holders.Held[21] = {{.Way = HoldWay::Module, .Path = L"C:\\Windows\\kernel32.dll"},
                            {.Way = HoldWay::Module, .Path = L"\\\\?\\d:\\vex\\bin\\VexCore.dll"}};
  world.processes.Add(22, "C:\\Ed\\Ed.exe");
  world.holders.Handles.push_back({.Id = 22, .File = {.Way = HoldWay::File, .Path = L"D:\\VEX\\data.txt"}});
  world.processes.Add(23, "C:\\Sh\\Sh.exe");
  world.holders.Handles.push_back({.Id = 23, .File = {.Way = HoldWay::Folder, .Path = L"D:\\Vex"}});
  world.processes.Add(24, "C:\\M\\Map.exe");
  world.holders.Held[24] = {{.Way = HoldWay::Mapped, .Path = L"D:\\Vex\\map.bin"},
                            {.Way = HoldWay::Mapped, .Path = L"D:\\Vex\\map2.bin"}};
  world.processes.Add(25, "C:\\O\\Other.exe");
  world.holders.Handles.push_back({.Id = 25, .File = {.Way = HoldWay::File, .Path = L"D:\\Vex2\\x.txt"}});
  world.processes.Add(26, "C:\\P\\Protected.exe");
  world.holders.Unreadable[26] = Inspection::Denied;
  world.processes.Add(27, "C:\\W\\Wide.exe");
  world.holders.Unreadable[27] = Inspection::Wider;
  world.holders.NamesGivenUp = 2;

  for (const RunSwitch runSwitch : {RunSwitch::List, RunSwitch::Kill}) {
    const std::string s = runSwitch == RunSwitch::List ? "-l\t" : "-k\t";
    EXPECT_EQ(world.Run(runSwitch, {"Vex.exe"}), kExitHeld);
    EXPECT_TRUE(world.Logged(
        s + "setup.exe\t6\t1\tholds the folder: Tarnwick's starter, left alone\tprogram D:\\Vex\\setup.exe"));
    EXPECT_TRUE(world.Logged(s + "VexAgent.exe\t20\t1\tholds the folder\tprogram D:\\Vex\\bin\\VexAgent.exe"));
    EXPECT_TRUE(world.Logged(s + "Host.exe\t21\t1\tholds the folder\tmodule \\\\?\\d:\\vex\\bin\\VexCore.dll"));
    EXPECT_TRUE(world.Logged(s + "Ed.exe\t22\t1\tholds the folder\tfile D:\\VEX\\data.txt"));
    EXPECT_TRUE(world.Logged(s + "Sh.exe\t23\t1\tholds the folder\tfolder D:\\Vex"));
    EXPECT_TRUE(world.Logged(s + "Map.exe\t24\t1\tholds the folder\tmapped D:\\Vex\\map.bin (and 1 more)"));
    EXPECT_TRUE(world.Logged(s + "Protected.exe\t26\t1\tnot inspected\tcould not read what it holds: access denied: "
                                 "start Tarnwick as administrator"));
    EXPECT_TRUE(world.Logged(s + "-\t-\t-\tnames not read\t2 open files did not give their name in time: the run "
                                 "went on without them"));
    EXPECT_NE(world.lines.Untimed.back().find("run ended\texit code 6, "), std::string::npos)
        << world.lines.Untimed.back();
    EXPECT_NE(world.lines.Untimed.back().find("; 2 processes not inspected"), std::string::npos);
    EXPECT_EQ(world.lines.Untimed.size(), 11u);  // nothing else: not Tarnwick, not Other.exe
  }
  EXPECT_TRUE(world.processes.Terminated.empty());

  // A listed image running in the folder is code 1, whatever else holds it; and is named once.
  world.processes.Add(30, "D:\\Vex\\Vex.exe");
  EXPECT_EQ(world.Run(RunSwitch::List, {"Vex.exe"}), kExitNotAll);
  EXPECT_EQ(std::count_if(world.lines.Untimed.begin(), world.lines.Untimed.end(),
                          [](const std::string& l) { return l.find("\t30\t") != std::string::npos; }),
            1);

  // "/all" ends the install's own programs, never a foreign holder, Tarnwick or its starter.
  world.holders.NamesGivenUp = 0;
  EXPECT_EQ(world.Run(RunSwitch::Kill, {"Vex.exe"}, true), kExitHeld);
  EXPECT_EQ(world.processes.Terminated, (std::vector<ProcessId>{20, 30}));

  // Free once the foreign holders are gone; the starter and the unreadable do not count.
  for (ProcessId id : {21u, 22u, 23u, 24u}) world.processes.Find(id)->EndsAt = world.clock.Now;
  EXPECT_EQ(world.Run(RunSwitch::Kill, {"Vex.exe"}), kExitDone);
}

TEST(HolderSearch, AncestorsAreOnlyThoseCreatedBeforeTheirChild) {
  const std::vector<HolderProcess> processes = {
      {.Id = 5, .Parent = 6, .Created = 300},
      {.Id = 6, .Parent = 7, .Created = 200},
      {.Id = 7, .Parent = 8, .Created = 250},  // a later process under the id of 6's dead parent
      {.Id = 8, .Parent = 0, .Created = 100}};
  EXPECT_EQ(AncestorsOf(5, processes), (std::set<ProcessId>{6}));
  EXPECT_EQ(AncestorsOf(9, processes), std::set<ProcessId>{});
}

TEST(HolderSearch, ListedImagesOnlyOutsideTheFolderAreSaid) {
  World world;
  world.processes.Add(10, "D:\\Vex2\\Vex.exe");
  EXPECT_EQ(world.Run(RunSwitch::List, {"Vex.exe"}), kExitDone);
  EXPECT_TRUE(world.Logged("-l\t-\t-\t-\tnone in the folder\tlisted images run only outside it: Vex.exe"));
}

}  // namespace
}  // namespace tarnwick
