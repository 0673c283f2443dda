// The argument splitter, the start mode and the names derived from the program's path.
#include "app/CommandLine.h"
#include "app/RunOptions.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick {
namespace {

struct SplitCase {
  const char* args;
  int count;
  std::vector<std::string> tokens;  // slots 1..count
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, FillsSlotsAndCounts) {
  const SplitCase& c = GetParam();
  ArgSlots slots;
  EXPECT_EQ(SplitCommandLine(c.args, slots), c.count);
  for (int i = 1; i <= ArgSlots::kUpper; ++i) {
    const std::string expected = i <= static_cast<int>(c.tokens.size()) ? c.tokens[i - 1] : "";
    EXPECT_EQ(slots[i], expected) << "slot " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, SplitCommandLineTest,
    ::testing::Values(SplitCase{"", 0, {}}, SplitCase{"   \t ", 0, {}}, SplitCase{"-a", 1, {"-a"}},
                      SplitCase{"-a -i", 2, {"-a", "-i"}}, SplitCase{"\"-a\"", 1, {"-a"}},
                      SplitCase{"-\"a\"", 1, {"-\"a\""}}, SplitCase{"\"\" -a", 2, {"", "-a"}},
                      SplitCase{"\"ab\"\"cd\"", 2, {"ab", "cd"}}, SplitCase{"a\"b\"c d", 2, {"a\"b\"c", "d"}},
                      SplitCase{"\"a b", 1, {"a b"}}, SplitCase{"  a \t\t b  ", 2, {"a", "b"}},
                      SplitCase{"a b c d e", 3, {"a", "b", "c"}}, SplitCase{"a b c ", 3, {"a", "b", "c"}},
                      SplitCase{"\"a\" \"b c\" \"d\" \"e\"", 3, {"a", "b c", "d"}}, SplitCase{"x\ty", 2, {"x", "y"}},
                      SplitCase{"\"\"", 1, {""}}, SplitCase{"\"unclosed", 1, {"unclosed"}}));

TEST(SplitCommandLine, AppendsToWhatTheSlotsHold) {
  ArgSlots slots;
  slots[1] = "x";
  EXPECT_EQ(SplitCommandLine("y z", slots), 2);
  EXPECT_EQ(slots[1], "xy");
  EXPECT_EQ(slots[2], "z");
}

StartMode ModeOf(const char* args) {
  ArgSlots slots;
  const int count = SplitCommandLine(args, slots);
  return ChooseStartMode(slots, count);
}

TEST(ChooseStartMode, OnlyTheFirstTokenCountsInAnyCase) {
  EXPECT_EQ(ModeOf(""), StartMode::Plain);
  EXPECT_EQ(ModeOf("-a"), StartMode::Auto);
  EXPECT_EQ(ModeOf("-A"), StartMode::Auto);
  EXPECT_EQ(ModeOf("-i"), StartMode::Tray);
  EXPECT_EQ(ModeOf("-I"), StartMode::Tray);
  EXPECT_EQ(ModeOf("-a -i"), StartMode::Auto);
  EXPECT_EQ(ModeOf("-i -a"), StartMode::Tray);
  EXPECT_EQ(ModeOf("x -a"), StartMode::Plain);
  EXPECT_EQ(ModeOf("\"-a\""), StartMode::Auto);
  EXPECT_EQ(ModeOf("-\"a\""), StartMode::Plain);
  EXPECT_EQ(ModeOf("\"\" -a"), StartMode::Plain);
  EXPECT_EQ(ModeOf("/a"), StartMode::Plain);
  EXPECT_EQ(ModeOf("-ab"), StartMode::Plain);
  EXPECT_EQ(ModeOf("   "), StartMode::Plain);
  EXPECT_EQ(ModeOf("-K"), StartMode::Kill);
  EXPECT_EQ(ModeOf("-l -a"), StartMode::List);
  EXPECT_EQ(ModeOf("-a -k"), StartMode::Auto);
  EXPECT_EQ(ModeOf("x -l"), StartMode::Plain);
  EXPECT_EQ(ModeOf("-kill"), StartMode::Plain);
}

TEST(ArgumentsAfterProgramName, SkipsTheProgramAsWindowsQuotesIt) {
  EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\Program Files\\T\\Tarnwick.exe\" -a"), "-a");
  EXPECT_EQ(ArgumentsAfterProgramName("Tarnwick.exe   -i x"), "-i x");
  EXPECT_EQ(ArgumentsAfterProgramName("Tarnwick.exe"), "");
  EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\a b\\T.exe\""), "");
  EXPECT_EQ(ArgumentsAfterProgramName("\"C:\\a b\\T.exe\"-a"), "-a");
  EXPECT_EQ(ArgumentsAfterProgramName("\"\" -a"), "-a");  // a program name given as two quotes
  EXPECT_EQ(ArgumentsAfterProgramName(""), "");
}

TEST(AppDirectoryFrom, EndsInExactlyOneBackslash) {
  EXPECT_EQ(AppDirectoryFrom("C:\\Tools"), "C:\\Tools\\");
  EXPECT_EQ(AppDirectoryFrom("C:\\"), "C:\\");
  EXPECT_EQ(AppDirectoryFrom(""), "\\");
}

TEST(ExeBaseName, DropsDirectoryAndExtension) {
  EXPECT_EQ(ExeBaseName("C:\\Tools\\Tarnwick.exe"), "Tarnwick");
  EXPECT_EQ(ExeBaseName("Other.exe"), "Other");
  EXPECT_EQ(ExeBaseName("Z:\\a.b\\my.tool.exe"), "my.tool");
  EXPECT_EQ(ExeBaseName("C:\\NoExtension"), "NoExtension");
}

}  // namespace
}  // namespace tarnwick

namespace tarnwick {
namespace {

TEST(SplitArguments, FollowsTheRulesOfCommandLineToArgvW) {
  using Tokens = std::vector<std::wstring>;
  EXPECT_EQ(SplitArguments(L"\"C:\\Program Files\\T\\Tarnwick.exe\" -k \"D:\\Vex Old\" /grace:10"),
            (Tokens{L"-k", L"D:\\Vex Old", L"/grace:10"}));
  EXPECT_EQ(SplitArguments(L"T.exe -k D:\\a\\\\b \"x\\\\\" \"\\\"q\\\"\" a\"b c\"d"),
            (Tokens{L"-k", L"D:\\a\\\\b", L"x\\", L"\"q\"", L"ab cd"}));
  EXPECT_EQ(SplitArguments(L"T.exe \"a\"\"b\" \"\" \t"), (Tokens{L"a\"b", L""}));
  EXPECT_EQ(SplitArguments(L"T.exe"), Tokens{});
}

TEST(ParseRunOptions, TakesAFolderAndTheLimitsInAnyCaseAndRefusesWhatItCannotFollow) {
  struct Case {
    const wchar_t* line;
    const wchar_t* folder;
    EndLimits limits;     // over the unattended defaults
    const char* problem;  // empty: accepted
  };
  const EndLimits d = EndLimits::Unattended();
  const Case cases[] = {
      {L"T -k", L"", d, ""},
      {L"T -a x y", L"", d, "more than one folder: x and y"},
      {L"T -k /grace:10 /LIMIT:120 \"D:\\Vex\"", L"D:\\Vex", {.RunMs = 120000, .GraceMs = 10000}, ""},
      {L"T -k -Wait:7 /service:60 //srv/share", L"//srv/share", {.ProcessWaitMs = 7000, .ServiceWaitMs = 60000}, ""},
      {L"T -a /grace:0", L"", {.GraceMs = 0}, ""},
      {L"T -a /grace:86400", L"", {.GraceMs = 86400000}, ""},
      {L"T -a /wait:0", L"", d, "option /wait:0: /wait:N takes whole seconds from 1 to 86400"},
      {L"T -a /limit:86401", L"", d, "option /limit:86401: /limit:N takes whole seconds from 1 to 86400"},
      {L"T -a /grace:1.5", L"", d, "option /grace:1.5: /grace:N takes whole seconds from 0 to 86400"},
      {L"T -a /grace:", L"", d, "option /grace:: /grace:N takes whole seconds from 0 to 86400"},
      {L"T -a /grace", L"", d, "option /grace: /grace:N takes whole seconds from 0 to 86400"},
      {L"T -a /grace:-1", L"", d, "option /grace:-1: /grace:N takes whole seconds from 0 to 86400"},
      {L"T -a /grace:1 /Grace:2", L"", d, "option /grace is given twice"},
      {L"T -a /f", L"", d, "unknown option /f (known: /grace:N /wait:N /service:N /limit:N, in seconds; /all)"},
      {L"T -k /ALL D:\\Vex", L"D:\\Vex", d, ""},
      {L"T -k /all", L"", d, "option /all needs a folder: it ends every program in it"},
      {L"T -k /all D:\\Vex /all", L"", d, "option /all is given twice"},
      {L"T -k \"D:\\Vex\\\" /grace:5", L"", d,
       "the folder D:\\Vex\" /grace:5 holds a double quote: write \"D:\\Vex\" without a backslash before the closing "
       "quote"},
      {L"T -l \"\"", L"", d, "an empty folder name"},
  };
  for (const Case& c : cases) {
    RunOptions options;
    std::string problem;
    const bool ok = ParseRunOptions(SplitArguments(c.line), options, problem);
    EXPECT_EQ(ok, c.problem[0] == '\0') << c.line;
    EXPECT_EQ(problem, c.problem) << c.line;
    if (!ok) continue;
    EXPECT_EQ(options.Folder, c.folder) << c.line;
    EXPECT_EQ(options.All, std::wstring_view(c.line).find(L"/ALL") != std::wstring_view::npos) << c.line;
    const EndLimits limits = options.Applied(EndLimits::Unattended());
    EXPECT_EQ(limits.GraceMs, c.limits.GraceMs) << c.line;
    EXPECT_EQ(limits.ProcessWaitMs, c.limits.ProcessWaitMs) << c.line;
    EXPECT_EQ(limits.ServiceWaitMs, c.limits.ServiceWaitMs) << c.line;
    EXPECT_EQ(limits.RunMs, c.limits.RunMs) << c.line;
  }
}

}  // namespace
}  // namespace tarnwick
