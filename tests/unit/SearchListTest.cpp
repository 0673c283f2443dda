// The search list's rows: the duplicate rule, the flag record and the built-in entries.
#include "searchlist/SearchList.h"

#include <gtest/gtest.h>

#include <optional>
#include <stdexcept>
#include <string>
#include <utility>

namespace tarnwick {
namespace {

SearchList WithBuiltIns() {
  SearchList list;
  AddBuiltInEntries(list);
  return list;
}

TEST(SearchList, BuiltInEntriesComeInTableOrder) {
  SearchList list = WithBuiltIns();
  ASSERT_TRUE(list.AddSearchEntry("mine.exe", "", false));
  EXPECT_FALSE(list.Row(10).BuiltIn);
  list.Remove(10);
  ASSERT_EQ(list.Count(), 9u);
  const char* expected[] = {"Vex.exe",         "VexSQL.exe",    "VexOPC.exe",    "VexUPnP.exe",   "QuilListener.exe",
                            "GwVexpCorba.exe", "VexScript.exe", "VexScrMan.exe", "Tallyboard.exe"};
  for (std::size_t i = 1; i <= 9; ++i) {
    EXPECT_EQ(list.Row(i).ImageName, expected[i - 1]);
    EXPECT_TRUE(list.Row(i).BuiltIn);
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
  EXPECT_TRUE(list.AddSearchEntry("Za.exe", "", false));
  EXPECT_FALSE(list.AddSearchEntry("zA.EXE", "", false));  // the first and the last letter fold too
  EXPECT_EQ(list.Count(), 13u);
  EXPECT_EQ(list.Row(10).ImageName, " Vex.exe");
  EXPECT_FALSE(list.Row(10).BuiltIn);
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
  ASSERT_EQ(list.EditSearchEntry(10, "tool.exe", "Tool"), EditOutcome::NewImage);
  EXPECT_TRUE(list.AddSearchEntry("APP.EXE", "", false));
  EXPECT_FALSE(list.AddSearchEntry("Tool.Exe", "", false));
}

TEST(SearchList, EditRefusesAnotherRowsNameAndTellsANewImage) {
  SearchList list = WithBuiltIns();
  ASSERT_TRUE(list.AddSearchEntry("app.exe", "Tool", false));
  const struct {
    const char* name;
    EditOutcome outcome;
    const char* nameAfter;
  } cases[] = {
      {"VEX.exe", EditOutcome::Duplicate, "app.exe"},
      {"APP.exe", EditOutcome::SameImage, "APP.exe"},  // its own name in another letter case
      {"beta.exe", EditOutcome::NewImage, "beta.exe"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(list.EditSearchEntry(10, c.name, c.name), c.outcome) << c.name;
    EXPECT_EQ(list.Row(10).ImageName, c.nameAfter) << c.name;
    EXPECT_FALSE(list.Row(10).BuiltIn) << c.name;
  }
  EXPECT_EQ(list.Row(10).Description, "beta.exe");
}

TEST(EntryFromDialog, TrimsBothTextsAndRefusesAnEmptyName) {
  const struct {
    const char *name, *description;
    std::optional<std::pair<std::string, std::string>> entry;
  } cases[] = {
      {"  Vex.exe  ", "\t Engine ", std::pair{"Vex.exe", "Engine"}},
      {"a b.exe", "", std::pair{"a b.exe", ""}},  // blanks inside stay
      {"", "text", std::nullopt},
      {" \t ", "text", std::nullopt},
  };
  for (const auto& c : cases) {
    const auto entry = EntryFromDialog(c.name, c.description);
    ASSERT_EQ(entry.has_value(), c.entry.has_value()) << c.name;
    if (entry) {
      EXPECT_EQ(std::pair(entry->ImageName, entry->Description), *c.entry);
    }
  }
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
  list.Remove(8);
  EXPECT_EQ(list.Row(list.Count()).ImageName, "VexScrMan.exe");
  EXPECT_THROW(list.Remove(0), std::out_of_range);
  EXPECT_THROW(list.Remove(9), std::out_of_range);
}

}  // namespace
}  // namespace tarnwick
