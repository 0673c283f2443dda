// The holder search under Wine: one process list, one module and view walk per process, and one handle
// table with the disk files' names asked in the helper, over about 300 processes.
// Usage: tarnwick_holderbench [sleepers] [rounds]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "process/HoldersWin32.h"
#include "tests/support/Driver.h"

using namespace tarnwick;
using Steady = std::chrono::steady_clock;

int main(int argc, char** argv) {
  const int sleepers = argc > 1 ? std::max(1, std::atoi(argv[1])) : 300;
  const int rounds = argc > 2 ? std::max(1, std::atoi(argv[2])) : 3;
  test::TempDir dir;
  std::vector<test::Process> started;
  for (int i = 0; i < sleepers; ++i) started.push_back(test::StartSleeper(dir, "Held" + std::to_string(i) + ".exe"));
  Sleep(5000);  // Wine finishes starting them in the background
  std::printf("%-8s %6s %10s %10s %12s %8s\n", "P", "read", "walk ms", "table ms", "open files", "named");
  for (int round = 0; round < rounds; ++round) {
    const std::string helper = test::BinDir() + "Tarnwick.exe";
    HoldersWin32 holders(std::wstring(helper.begin(), helper.end()));
    const auto start = Steady::now();
    std::vector<HolderProcess> processes;
    holders.Processes(processes);
    std::vector<HeldFile> held;
    std::size_t inspected = 0;
    for (const HolderProcess& process : processes) {
      std::uint32_t error = 0;
      inspected += holders.Inspect(process.Id, held, error) == Inspection::Read ? 1 : 0;
    }
    const auto walked = Steady::now();
    const HandleScan scan = holders.OpenFiles({GetCurrentProcessId()}, 30000);
    const auto done = Steady::now();
    const auto ms = [](Steady::duration d) { return std::chrono::duration<double, std::milli>(d).count(); };
    std::printf("%-8zu %6zu %10.1f %10.1f %12zu %8s\n", processes.size(), inspected, ms(walked - start),
                ms(done - walked), scan.Files.size(), scan.NamesGivenUp == 0 ? "all" : "NOT ALL");
    std::fflush(stdout);
  }
  return 0;
}
