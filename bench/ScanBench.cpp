// Times one refresh of the running list two ways, on real processes: FindProcess once per row (every
// call enumerates and opens every process until one answers) against one snapshot per tick (opens only the
// candidates).
// Prints the median milliseconds per tick of each and their ratio.
// Usage: tarnwick_bench.exe [sleepers per step, default 100] [steps, default 2] [rounds, default 5]
#include <windows.h>
#include <psapi.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/Text.h"
#include "process/ProcessWin32.h"
#include "searchlist/SearchList.h"
#include "tests/support/Driver.h"
#include "ui/ScanCycle.h"

using namespace tarnwick;
using Steady = std::chrono::steady_clock;

namespace {

constexpr int kSnapshotTicksPerRound = 5;
constexpr int kUserRowsRunning = 10;

std::string UserName(int i) {
  char name[32];
  std::snprintf(name, sizeof(name), "User%02d.exe", i);
  return name;
}

// The nine built-in rows, then user rows up to `rows`.
SearchList ListOf(int rows) {
  SearchList list;
  for (const BuiltInEntry& entry : kBuiltInEntries) list.AddSearchEntry(entry.ImageName, entry.Description, true);
  for (int i = 1; static_cast<int>(list.Count()) < rows; ++i) list.AddSearchEntry(UserName(i), "user entry", false);
  return list;
}

// The sleeper names of step `step`: a few listed images among many unlisted ones, all distinct.
std::vector<std::string> SleeperNames(int step, int count) {
  std::vector<std::string> names;
  if (step == 0) {
    for (const char* listed : {"Vex.exe", "VexSQL.exe", "VexOPC.exe", "QuilListener.exe", "Tallyboard.exe"}) {
      names.push_back(listed);
    }
    for (int i = 1; i <= kUserRowsRunning; ++i) names.push_back(UserName(i));
  }
  for (int i = 0; static_cast<int>(names.size()) < count; ++i) {
    names.push_back("Idle" + std::to_string(step) + "_" + std::to_string(i) + ".exe");
  }
  return names;
}

// The per-row baseline, as the scan once was: whether a process of the image runs, from a fresh
// enumeration in which every process is opened until one of that image answers.
bool FindProcess(ProcessApi& api, const std::string& imageName) {
  const std::string target = UpperCase(imageName);
  if (target.empty()) return false;
  std::vector<DWORD> ids(1u << 16);
  DWORD bytes = 0;
  if (!EnumProcesses(ids.data(), static_cast<DWORD>(ids.size() * sizeof(DWORD)), &bytes)) return false;
  ids.resize(bytes / sizeof(DWORD));
  for (DWORD id : ids) {
    ProcessRef process(api, kQueryRights, id);
    if (process && IdentityName(api, process.Get()) == target) return true;
  }
  return false;
}

double Milliseconds(Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

// Other load on a shared machine shows up as outliers, not as a shift of the middle.
double Median(std::vector<double> times) {
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

struct Measurement {
  double perRowMs;
  double snapshotMs;
  bool same;
};

Measurement Measure(ProcessWin32& api, int rows, int rounds) {
  SearchList perRowList = ListOf(rows), snapshotList = ListOf(rows);
  ScanCycle perRowScan, snapshotScan;
  const std::vector<std::string> names = RowNames(perRowList);

  // The two ways take turns, so that a burst of load elsewhere hits both alike.
  std::vector<double> perRow, snapshot;
  for (int round = 0; round < rounds; ++round) {
    auto start = Steady::now();
    std::vector<bool> running;
    for (const std::string& name : names) running.push_back(FindProcess(api, name));
    perRowScan.RefreshResideList(perRowList, running, false);
    perRow.push_back(Milliseconds(Steady::now() - start));
    for (int tick = 0; tick < kSnapshotTicksPerRound; ++tick) {
      start = Steady::now();
      snapshotScan.RefreshResideList(snapshotList, api, false);
      snapshot.push_back(Milliseconds(Steady::now() - start));
    }
  }
  return {Median(perRow), Median(snapshot), perRowScan.Lines() == snapshotScan.Lines()};
}

}  // namespace

int main(int argc, char** argv) {
  const int perStep = argc > 1 ? std::max(1, std::atoi(argv[1])) : 100;
  const int steps = argc > 2 ? std::max(1, std::atoi(argv[2])) : 2;
  const int rounds = argc > 3 ? std::max(1, std::atoi(argv[3])) : 5;

  ProcessWin32 api;
  test::TempDir dir;
  std::vector<test::Process> sleepers;
  bool allSame = true;
  std::printf("%-6s %-5s %14s %16s %8s\n", "P", "E", "per-row ms", "snapshot ms", "ratio");
  for (int step = 0; step < steps; ++step) {
    const std::vector<std::string> names = SleeperNames(step, perStep);
    for (const std::string& name : names) sleepers.push_back(test::StartSleeper(dir, name));
    // Timing starts once every sleeper is up and findable.
    const bool up = test::WaitUntil(
        [&] {
          const std::vector<bool> running = FindRunningImages(api, names);
          return std::all_of(running.begin(), running.end(), [](bool r) { return r; });
        },
        std::chrono::seconds(120));
    if (!up) {
      std::fprintf(stderr, "the sleepers did not all start\n");
      return 2;
    }
    Sleep(5000);  // Wine finishes starting them in the background
    std::vector<SnapshotEntry> processes;
    (void)api.Snapshot(processes);
    for (int rows : {9, 50}) {
      const Measurement m = Measure(api, rows, rounds);
      allSame = allSame && m.same;
      std::printf("%-6zu %-5d %14.1f %16.2f %7.0fx%s\n", processes.size(), rows, m.perRowMs, m.snapshotMs,
                  m.perRowMs / m.snapshotMs, m.same ? "" : "  RESULTS DIFFER");
      std::fflush(stdout);
    }
  }
  return allSame ? 0 : 1;
}
