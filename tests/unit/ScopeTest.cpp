// A run limited to a folder: the path match in its forms, and the pipeline acting only inside the folder.
#include "process/Scope.h"

#include <gtest/gtest.h>

#include "tests/unit/FakeWorld.h"

namespace tarnwick {
namespace {

using test::FakeProcessApi;

TEST(Scope, AFileLiesInTheFolderOrBelowItWhateverTheSpellingOfThePath) {
  struct Case {
    const wchar_t* path;
    const wchar_t* folder;
    bool in;
  };
  const Case cases[] = {
      {L"D:\\Vex\\Vex.exe", L"D:\\Vex", true},
      {L"D:\\Vex\\bin\\Vex.exe", L"D:\\Vex", true},
      {L"d:\\vex\\VEX.EXE", L"D:\\Vex\\", true},
      {L"\\\\?\\D:\\Vex\\Vex.exe", L"D:/Vex/", true},
      {L"D:\\Vex\\Vex.exe", L"\\\\?\\D:\\Vex", true},
      {L"D:\\Vex\\\\Vex.exe", L"D:\\Vex", true},
      {L"\\\\?\\UNC\\srv\\share\\Vex\\Vex.exe", L"\\\\SRV\\Share\\Vex", true},
      {L"D:\\Vex.exe", L"D:\\", true},
      {L"D:\\Vex2\\Vex.exe", L"D:\\Vex", false},
      {L"D:\\Vex Old\\Vex.exe", L"D:\\Vex", false},
      {L"D:\\Vex", L"D:\\Vex", false},  // the folder itself is no file in it
      {L"C:\\Vex\\Vex.exe", L"D:\\Vex", false},
      {L"", L"D:\\Vex", false},  // a path that could not be read lies nowhere
  };
  for (const Case& c : cases) EXPECT_EQ(LiesIn(c.path, c.folder), c.in) << c.path << " in " << c.folder;
}

TEST(Scope, OnlyFullPathsNameAFolder) {
  for (const wchar_t* path : {L"D:\\Vex", L"d:/", L"\\\\srv\\share", L"\\\\?\\D:\\Vex", L"\\\\?\\UNC\\srv\\share"}) {
    EXPECT_TRUE(IsAbsolutePath(path)) << path;
  }
  for (const wchar_t* path : {L"Vex", L".\\Vex", L"Tools\\Vex", L"D:Vex", L"\\Vex", L"\\Tools\\Vex", L"D:", L"\\\\srv",
                              L"\\\\srv\\", L"\\\\srv\\\\share", L""}) {
    EXPECT_FALSE(IsAbsolutePath(path)) << path;
  }
}

TEST(Scope, ALogLineGetsThePathInUtf8) {
  EXPECT_EQ(Utf8(L"D:\\\u0141\u00f3d\u017a \u0418"),
            "D:\\\xC5\x81\xC3\xB3"
            "d\xC5\xBA \xD0\x98");
}

TEST(Scope, AScopedRunActsOnlyInsideTheFolderAndItsFirstLineNamesIt) {
  test::FakeWorld world;
  FakeProcessApi& processes = world.processes;
  processes.Self = 5;
  processes.Add(5, "D:\\Tools\\Tarnwick.exe");
  processes.Add(10, "D:\\Vex2\\Vex.exe");  // first in the system's order: -a must not take it for the image
  processes.Add(11, "D:\\Vex Old\\Vex.exe");
  processes.Add(12, "D:\\VEX\\bin\\Vex.exe");
  auto& outsideUnopened = processes.Add(13, "D:\\Vex2\\VexSQL.exe");
  outsideUnopened.Openable = false;
  outsideUnopened.LimitedOpenable = true;
  processes.Add(14, "D:\\Vex\\VexSQL.exe").Openable = false;
  test::KeptLines lines;
  RunOptions options;
  options.Folder = L"D:\\Vex";
  const RunInfo info{.ExeImage = "Tarnwick.exe", .OwnId = 5, .OwnSession = 1, .StartNote = "debug privilege enabled"};
  EXPECT_EQ(RunUnattended(RunSwitch::Auto, {"Vex.exe", "VexSQL.exe"}, world.seams, lines, info, options), 1);
  EXPECT_EQ(processes.Terminated, (std::vector<ProcessId>{12}));
  ASSERT_EQ(lines.Untimed.size(), 4u);
  EXPECT_EQ(lines.Untimed[0], "-a\tTarnwick.exe\t5\t1\trun started\tdebug privilege enabled; scope: D:\\Vex\t-");
  // The one inside that could not be opened counts; the one outside does not, though it could not be either.
  EXPECT_EQ(lines.Untimed[1].rfind("-a\tVexSQL.exe\t14\t1\tcould not end\t", 0), 0u) << lines.Untimed[1];
  EXPECT_EQ(lines.Untimed[2], "-a\tVex.exe\t12\t1\tended\t-\tD:\\VEX\\bin\\Vex.exe");
}

}  // namespace
}  // namespace tarnwick
