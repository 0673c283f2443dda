// The search list's rows: the duplicate rule, the flag record and the built-in entries.
#include "searchlist/SearchList.h"

#include <gtest/gtest.h>

#include <stdexcept>

namespace tarnwick {
namespace {

SearchList WithBuiltIns() {
  SearchList list;
  for (const BuiltInEntry& e : kBuiltInEntries) EXPECT_TRUE(list.AddSearchEntry(e.ImageName, e.Description, true));
  return list;
}

TEST(SearchList, BuiltInEntriesComeInTableOrder) {
  const SearchList list = WithBuiltIns();
  ASSERT_EQ(list.Count(), 9u);
  const char* expected[] = {"Vex.exe",       "VexSQL.exe",    "VexOPC.exe",    "VexUPnP.exe",   "QuilListener.exe",
                            "GwVexpCorba.exe", "VexScript.exe", "VexScrMan.exe", "Tallyboard.exe"};
  for (std::size_t i = 1; i <= 9; ++i) {
    EXPECT_EQ(list.Row(i).ImageName, expected[i - 1]);
    EXPECT_TRUE(IsSet(GetEntryFlag(list.Row(i).Flags, kFlagBuiltIn)));
    EXPECT_FALSE(IsSet(GetEntryFlag(list.Row(i).Flags, kFlagInRunningList)));
  }
  EXPECT_EQ(list.Row(9).Description, "VexScript Panel");
}

TEST(SearchList, DuplicateRuleIgnoresLetterCaseOnlyAndKeepsBlanks) {
  SearchList list = WithBuiltIns();
  EXPECT_FALSE(list.AddSearchEntry("vex.exe", "x", false));
  EXPECT_FALSE(list.AddSearchEntry("VEX.EXE", "x", false));
  EXPECT_EQ(list.Count(), 9u);
  EXPECT_TRUE(list.AddSearchEntry(" Vex.exe", "blank in front", false));
  EXPECT_TRUE(list.AddSearchEntry("Vex.exe ", "blank behind", false));
  EXPECT_TRUE(list.AddSearchEntry("Other.exe", "Vex Engine", false));  // descriptions are never compared
  EXPECT_EQ(list.Count(), 12u);
  EXPECT_EQ(list.Row(10).ImageName, " Vex.exe");
  EXPECT_FALSE(IsSet(GetEntryFlag(list.Row(10).Flags, kFlagBuiltIn)));
}

TEST(SearchList, EmptyNameIsAddedOnce) {
  SearchList list;
  EXPECT_TRUE(list.AddSearchEntry("", "", false));
  EXPECT_FALSE(list.AddSearchEntry("", "again", false));
  EXPECT_EQ(list.Count(), 1u);
}

TEST(SearchList, TestComparesCurrentTextsAfterAnEdit) {
  SearchList list = WithBuiltIns();
  ASSERT_TRUE(list.AddSearchEntry("app.exe", "Tool", false));
  list.Row(10).ImageName = "tool.exe";
  EXPECT_TRUE(list.AddSearchEntry("APP.EXE", "", false));
  EXPECT_FALSE(list.AddSearchEntry("Tool.Exe", "", false));
}

TEST(SearchList, FindNameSkipsTheGivenRow) {
  SearchList list = WithBuiltIns();
  EXPECT_EQ(list.FindName("vexsql.exe"), 2u);
  EXPECT_EQ(list.FindName("VEXSQL.EXE", 2), 0u);
  EXPECT_EQ(list.FindName("nothing.exe"), 0u);
}

TEST(SearchList, RemoveShiftsLaterRowsAndRefusesBadPositions) {
  SearchList list = WithBuiltIns();
  list.Remove(1);
  EXPECT_EQ(list.Count(), 8u);
  EXPECT_EQ(list.Row(1).ImageName, "VexSQL.exe");
  EXPECT_THROW(list.Remove(0), std::out_of_range);
  EXPECT_THROW(list.Remove(9), std::out_of_range);
}

TEST(FlagRecord, ElementsAreIndependentAndStartEmpty) {
  FlagRecord record;
  EXPECT_FALSE(GetEntryFlag(record, 0).has_value());
  EXPECT_FALSE(GetEntryFlag(record, 1).has_value());
  SetEntryFlag(record, 1, true);
  EXPECT_FALSE(GetEntryFlag(record, 0).has_value());
  EXPECT_EQ(GetEntryFlag(record, 1), true);
  SetEntryFlag(record, 0, false);
  EXPECT_EQ(GetEntryFlag(record, 0), false);
  EXPECT_EQ(GetEntryFlag(record, 1), true);
  EXPECT_THROW(SetEntryFlag(record, 2, true), std::out_of_range);
  EXPECT_THROW(SetEntryFlag(record, -1, true), std::out_of_range);
  EXPECT_THROW(GetEntryFlag(record, 2), std::out_of_range);
}

}  // namespace
}  // namespace tarnwick
