// Times reading and saving a list file of 10,000 entries (the read's bound) on the real file system, the
// read with a start's duplicate rule, and,
// for scale, 1,000 entries read the old way: the profile functions, one call per key.
// Prints the median milliseconds of each. Usage: tarnwick_listbench.exe [rounds, default 5]
#include <windows.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "common/WideTextWin32.h"
#include "searchlist/SearchListFileWin32.h"
#include "searchlist/clsProfile.h"
#include "tests/support/Driver.h"

using namespace tarnwick;
using Steady = std::chrono::steady_clock;

namespace {

SearchList ListOf(int entries) {
  SearchList list;
  AddBuiltInEntries(list);
  for (int i = 0; i < entries; ++i) {
    list.AddSearchEntry("Entry" + std::to_string(i) + ".exe", "a user entry of the benchmark", false);
  }
  return list;
}

template <typename F>
double MedianMs(int rounds, F run) {
  std::vector<double> times;
  for (int i = 0; i < rounds; ++i) {
    const auto start = Steady::now();
    run();
    times.push_back(std::chrono::duration<double, std::milli>(Steady::now() - start).count());
  }
  std::sort(times.begin(), times.end());
  return times[times.size() / 2];
}

}  // namespace

int main(int argc, char** argv) {
  const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 5;
  test::TempDir dir;
  const std::wstring path = WideFromAnsi(dir.File("Tarnwick.ini"));
  const SearchList list = ListOf(static_cast<int>(kMaxListEntries));

  // Each save writes the whole list anew: the file is emptied first so that no round finds it unchanged.
  const double saveMs = MedianMs(rounds, [&] {
    DeleteFileW(path.c_str());
    if (!SaveSearchListFile(path, list, false).saved) std::fprintf(stderr, "the save failed\n");
  });
  std::size_t read = 0;
  const double loadMs = MedianMs(rounds, [&] {
    read = 0;
    static_cast<void>(LoadSearchListFile(path, [&](const std::string&, const std::string&) { ++read; }));
  });
  // As a start does it: the built-in rows, then every entry through the duplicate rule.
  const double listMs = MedianMs(rounds, [&] {
    SearchList loaded;
    AddBuiltInEntries(loaded);
    NameSet names(loaded);
    static_cast<void>(LoadSearchListFile(path, [&](const std::string& name, const std::string& description) {
      if (names.Add(name)) loaded.AppendCheckedUserRow(name, description);
    }));
  });
  std::printf(
      "list of %zu entries: read %.1f ms (%zu entries), into the list with the duplicate rule %.1f ms, "
      "save %.1f ms\n",
      kMaxListEntries, loadMs, read, listMs, saveMs);

  // The old read, for scale: section names, then two profile calls per entry.
  const std::wstring small = WideFromAnsi(dir.File("small.ini"));
  if (!SaveSearchListFile(small, ListOf(1000), false).saved) std::fprintf(stderr, "the save failed\n");
  const double profileMs = MedianMs(1, [&] {
    clsProfile profile(small);
    for (const std::string& section : profile.GetSectNames()) {
      profile.GetString(section, kImageNameKey, "");
      profile.GetString(section, kDescriptionKey, "");
    }
  });
  std::printf("1000 entries through the profile functions, one call per key: %.1f ms\n", profileMs);
  return 0;
}
