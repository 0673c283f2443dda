// The argument splitter, the start mode and the names derived from the program's path.
#include "app/CommandLine.h"

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
