// Times reading and saving a list file of 10,000 entries (the read's bound) on the real file system, the
// read with a start's duplicate rule, and, for scale, 1,000 entries read through the profile functions.
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
  const std::wstring path = WideFromUtf8(dir.File("Tarnwick.ini"));
  const SearchList list = ListOf(static_cast<int>(kMaxListEntries));

  // Each save writes the whole list anew: the file is emptied first so that no round finds it unchanged.
  const double saveMs = MedianMs(rounds, [&] {
    DeleteFileW(path.c_str());
    if (!SaveSearchListFile(path, list, false).Saved) std::fprintf(stderr, "the save failed\n");
  });
  std::size_t read = 0;
  // As a start does it: the file read and decoded, the built-in rows, then every entry through the
  // duplicate rule.
  const double listMs = MedianMs(rounds, [&] {
    SearchList loaded;
    static_cast<void>(LoadList(loaded, ReadSearchListFile(path)));
    read = loaded.Count() - kBuiltInEntries.size();
  });
  std::printf("list of %zu entries: read into the list with the duplicate rule %.1f ms (%zu entries), save %.1f ms\n",
              kMaxListEntries, listMs, read, saveMs);

  // The profile functions, for scale: section names, then two calls per entry.
  const std::wstring small = WideFromUtf8(dir.File("small.ini"));
  if (!SaveSearchListFile(small, ListOf(1000), false).Saved) std::fprintf(stderr, "the save failed\n");
  const double profileMs = MedianMs(1, [&] {
    std::vector<wchar_t> names(1 << 20), value(1024);
    GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), small.c_str());
    for (const wchar_t* section = names.data(); *section != L'\0'; section += wcslen(section) + 1) {
      GetPrivateProfileStringW(section, L"ImageName", L"", value.data(), 1024, small.c_str());
      GetPrivateProfileStringW(section, L"Description", L"", value.data(), 1024, small.c_str());
    }
  });
  std::printf("1000 entries through the profile functions, one call per key: %.1f ms\n", profileMs);
  return 0;
}
