// The one reading of the command line: the split as Windows splits it, the start mode, the options.
#include "app/CommandLine.h"
#include "process/Scope.h"

#include <gtest/gtest.h>

#include <vector>

namespace tarnwick {
namespace {

using Tokens = std::vector<std::wstring>;

TEST(SplitArguments, FollowsTheRulesOfCommandLineToArgvW) {
  EXPECT_EQ(SplitArguments(L"\"C:\\Program Files\\T\\Tarnwick.exe\" -k \"D:\\Vex Old\" /grace:10"),
            (Tokens{L"-k", L"D:\\Vex Old", L"/grace:10"}));
  EXPECT_EQ(SplitArguments(L"T.exe -k D:\\a\\\\b \"x\\\\\" \"\\\"q\\\"\" a\"b c\"d"),
            (Tokens{L"-k", L"D:\\a\\\\b", L"x\\", L"\"q\"", L"ab cd"}));
  EXPECT_EQ(SplitArguments(L"T.exe \"a\"\"b\" \"\" \t"), (Tokens{L"a\"b", L""}));
  EXPECT_EQ(SplitArguments(L"\"C:\\a b\\T.exe\"-a"), Tokens{L"-a"});
  EXPECT_EQ(SplitArguments(L"T.exe"), Tokens{});
}

constexpr const char* kSwitches = "the switches are -a, -i, -k or -l (or /a, /i, /k, /l), /? for help, /version";

TEST(ReadStartCommand, GivesEveryCommandLineOneMeaning) {
  struct Case {
    const wchar_t* line;
    StartMode mode;
    const wchar_t* folder;
    EndLimits limits;  // over the unattended defaults
    std::string problem;
    std::vector<std::string> ignored;
    bool tree = false;
  };
  const EndLimits d = EndLimits::Unattended();
  const std::string unknownOption = "unknown option ";
  const std::string known = " (known: /grace:N /wait:N /service:N /limit:N, in seconds; /tree /json /whatif /all)";
  const Case cases[] = {
      {L"T", StartMode::Plain, L"", d, "", {}},
      {L"T   \t", StartMode::Plain, L"", d, "", {}},
      {L"T x -a", StartMode::Plain, L"", d, "", {}},
      {L"T \"\" -a", StartMode::Plain, L"", d, "", {}},
      {L"T -i -a", StartMode::Tray, L"", d, "", {}},
      {L"T /I", StartMode::Tray, L"", d, "", {}},
      {L"T \"-a\"", StartMode::Auto, L"", d, "", {}},
      {L"T -A -i", StartMode::Auto, L"", d, "", {"-i"}},
      {L"T /k", StartMode::Kill, L"", d, "", {}},
      {L"T -K /a D:\\Vex /L", StartMode::Kill, L"D:\\Vex", d, "", {"/a", "/L"}},
      {L"T /l -a", StartMode::List, L"", d, "", {"-a"}},
      // Two quoted strings glued by a script make one token, as CommandLineToArgvW reads them.
      {L"T \"-k\"D:\\Vex", StartMode::Unknown, L"", d, std::string("unknown switch -kD:\\Vex: ") + kSwitches, {}},
      {L"T \"-k\"/limit:5 D:\\Vex",
       StartMode::Unknown,
       L"",
       d,
       std::string("unknown switch -k/limit:5: ") + kSwitches,
       {}},
      {L"T \"-k\" \"D:\\Vex\"", StartMode::Kill, L"D:\\Vex", d, "", {}},
      {L"T -kill", StartMode::Unknown, L"", d, std::string("unknown switch -kill: ") + kSwitches, {}},
      {L"T /x", StartMode::Unknown, L"", d, std::string("unknown switch /x: ") + kSwitches, {}},
      {L"T \u2013k", StartMode::Unknown, L"", d, std::string("unknown switch \u2013k: ") + kSwitches, {}},
      {L"T \u2014a", StartMode::Unknown, L"", d, std::string("unknown switch \u2014a: ") + kSwitches, {}},
      {L"T \u2212l", StartMode::Unknown, L"", d, std::string("unknown switch \u2212l: ") + kSwitches, {}},
      {L"T /?", StartMode::Help, L"", d, "", {}},
      {L"T -?", StartMode::Help, L"", d, "", {}},
      {L"T -H", StartMode::Help, L"", d, "", {}},
      {L"T /h", StartMode::Help, L"", d, "", {}},
      {L"T --Help", StartMode::Help, L"", d, "", {}},
      {L"T /VERSION", StartMode::Version, L"", d, "", {}},
      {L"T -v", StartMode::Version, L"", d, "", {}},
      {L"T --version", StartMode::Version, L"", d, "", {}},
      {L"T -Register x", StartMode::Register, L"", d, "", {}},
      {L"T /unregister", StartMode::Unregister, L"", d, "", {}},
      // The options after a switch.
      {L"T -a x y", StartMode::Auto, L"", d, "more than one folder: x and y", {}},
      {L"T -k /grace:10 /LIMIT:120 \"D:\\Vex\"",
       StartMode::Kill,
       L"D:\\Vex",
       {.RunMs = 120000, .GraceMs = 10000},
       "",
       {}},
      {L"T -k -Wait:7 /service:60 //srv/share",
       StartMode::Kill,
       L"//srv/share",
       {.ProcessWaitMs = 7000, .ServiceWaitMs = 60000},
       "",
       {}},
      {L"T -a /grace:0", StartMode::Auto, L"", {.GraceMs = 0}, "", {}},
      {L"T -a /grace:86400", StartMode::Auto, L"", {.GraceMs = 86400000}, "", {}},
      {L"T -a /wait:0", StartMode::Auto, L"", d, "option /wait:0: /wait:N takes whole seconds from 1 to 86400", {}},
      {L"T -a /limit:86401",
       StartMode::Auto,
       L"",
       d,
       "option /limit:86401: /limit:N takes whole seconds from 1 to 86400",
       {}},
      {L"T -a /grace:1.5",
       StartMode::Auto,
       L"",
       d,
       "option /grace:1.5: /grace:N takes whole seconds from 0 to 86400",
       {}},
      {L"T -a /grace:", StartMode::Auto, L"", d, "option /grace:: /grace:N takes whole seconds from 0 to 86400", {}},
      {L"T -a /grace", StartMode::Auto, L"", d, "option /grace: /grace:N takes whole seconds from 0 to 86400", {}},
      {L"T -a /grace:-1",
       StartMode::Auto,
       L"",
       d,
       "option /grace:-1: /grace:N takes whole seconds from 0 to 86400",
       {}},
      {L"T -a /grace:1 /Grace:2", StartMode::Auto, L"", d, "option /grace is given twice", {}},
      {L"T -k /TREE D:\\Vex", StartMode::Kill, L"D:\\Vex", d, "", {}, true},
      {L"T -a /tree /tree", StartMode::Auto, L"", d, "option /tree: /tree takes no value and is given once", {}},
      {L"T -l /JSON x /WhatIf", StartMode::List, L"x", d, "", {}},
      {L"T -l /json /json", StartMode::List, L"", d, "option /json: /json takes no value and is given once", {}},
      {L"T -k /ALL D:\\Vex", StartMode::Kill, L"D:\\Vex", d, "", {}},
      {L"T -k /all", StartMode::Kill, L"", d, "option /all needs a folder: it ends every program in it", {}},
      {L"T -a /tree:1", StartMode::Auto, L"", d, "option /tree:1: /tree takes no value and is given once", {}},
      {L"T -a /f", StartMode::Auto, L"", d, unknownOption + "/f" + known, {}},
      {L"T -l /?", StartMode::List, L"", d, unknownOption + "/?" + known, {}},
      {L"T -a \u2013grace:5", StartMode::Auto, L"", d, unknownOption + "\u2013grace:5: options start with / or -", {}},
      {L"T -k \"D:\\Vex Old\\\" /grace:5",
       StartMode::Kill,
       L"",
       d,
       "the folder D:\\Vex Old\" /grace:5 holds a double quote: write \"D:\\Vex Old\" without a backslash before "
       "the closing quote",
       {}},
      {L"T -l \"\"", StartMode::List, L"", d, "an empty folder name", {}},
  };
  for (const Case& c : cases) {
    const StartCommand command = ReadStartCommand(SplitArguments(c.line));
    const std::string line = Utf8(c.line);
    EXPECT_EQ(command.Mode, c.mode) << line;
    EXPECT_EQ(command.Problem, c.problem) << line;
    EXPECT_EQ(command.Ignored, c.ignored) << line;
    if (!command.Problem.empty()) continue;
    EXPECT_EQ(command.Options.Folder, c.folder) << line;
    EXPECT_EQ(command.Options.Tree, c.tree) << line;
    EXPECT_EQ(command.Options.All, line.find("/ALL") != std::string::npos) << line;
    const EndLimits limits = command.Options.Applied(EndLimits::Unattended());
    EXPECT_EQ(limits.GraceMs, c.limits.GraceMs) << line;
    EXPECT_EQ(limits.ProcessWaitMs, c.limits.ProcessWaitMs) << line;
    EXPECT_EQ(limits.ServiceWaitMs, c.limits.ServiceWaitMs) << line;
    EXPECT_EQ(limits.RunMs, c.limits.RunMs) << line;
  }
}

}  // namespace
}  // namespace tarnwick
