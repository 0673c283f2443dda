// Loading and saving the user's entries over a fake profile: what is read, what is written, in which order.
#include "searchlist/SearchListFile.h"

#include <gtest/gtest.h>

#include <set>
#include <string>
#include <utility>
#include <vector>

#include "common/Text.h"

namespace tarnwick {
namespace {

// Sections in file order; names match without regard to case, as the platform's do.
class FakeProfile : public ProfileAccess {
 public:
  struct Section {
    std::string name;
    std::vector<std::pair<std::string, std::string>> keys;
  };
  std::vector<Section> sections;
  std::vector<std::string> calls;
  std::set<std::string> failingSections;
  bool deleteFails = false;

  std::vector<std::string> GetSectNames() override {
    std::vector<std::string> names;
    for (const Section& s : sections) names.push_back(s.name);
    return names;
  }
  std::string GetString(std::string section, std::string key, std::string defaultValue) override {
    const auto* found = Find(section);
    if (found == nullptr) return defaultValue;
    for (const auto& [name, value] : found->keys) {
      if (EqualsNoCase(name, key)) return value;
    }
    return defaultValue;
  }
  bool WriteString(std::string section, std::string key, std::string value) override {
    calls.push_back("write " + section + "/" + key + "=" + value);
    if (failingSections.count(section)) return false;
    auto* found = Find(section);
    if (found == nullptr) found = &sections.emplace_back(Section{section, {}});
    for (auto& [name, stored] : found->keys) {
      if (EqualsNoCase(name, key)) {
        stored = value;
        return true;
      }
    }
    found->keys.emplace_back(key, value);
    return true;
  }
  bool DeleteSection(std::string section) override {
    calls.push_back("delete " + section);
    if (deleteFails) return false;
    std::erase_if(sections, [&](const Section& s) { return EqualsNoCase(s.name, section); });
    return true;
  }

 private:
  Section* Find(const std::string& name) {
    for (Section& s : sections) {
      if (EqualsNoCase(s.name, name)) return &s;
    }
    return nullptr;
  }
};

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries ReadAll(FakeProfile& profile) {
  Entries read;
  ReadSearchList(
      profile, [&](const std::string& name, const std::string& description) { read.emplace_back(name, description); });
  return read;
}

TEST(ReadSearchList, TakesImageNameAndDescriptionOfEverySectionInFileOrder) {
  FakeProfile profile;
  profile.sections = {
      {"zeta", {{"ImageName", "z.exe"}, {"Description", "last written first"}}},
      {"a.exe", {{"Description", "no name"}, {"Extra", "ignored"}}},
      {"b.exe", {{"imagename", "b.exe"}}},
  };
  EXPECT_EQ(ReadAll(profile), (Entries{{"z.exe", "last written first"}, {"", "no name"}, {"b.exe", ""}}));
  FakeProfile empty;
  EXPECT_TRUE(ReadAll(empty).empty());
}

TEST(WriteSearchList, EmptiesTheFileThenWritesUserRowsInListOrder) {
  FakeProfile profile;
  profile.sections = {{"Foreign", {{"ImageName", "f.exe"}}}, {"old.exe", {{"ImageName", "old.exe"}}}};
  SearchList list;
  list.AddSearchEntry("user1.exe", "one", false);
  list.AddSearchEntry("Vex.exe", "Vex Engine", true);  // built-in rows stay out wherever they stand
  list.AddSearchEntry("user2.exe", "\"quoted\"", false);
  list.AddSearchEntry("", "an empty name matches nothing and is not kept", false);
  EXPECT_TRUE(WriteSearchList(profile, list));
  EXPECT_EQ(profile.calls, (std::vector<std::string>{
                               "delete Foreign",
                               "delete old.exe",
                               "write user1.exe/ImageName=user1.exe",
                               "write user1.exe/Description=one",
                               "write user2.exe/ImageName=user2.exe",
                               "write user2.exe/Description=\"\"quoted\"\"",
                           }));
  EXPECT_EQ(ReadAll(profile), (Entries{{"user1.exe", "one"}, {"user2.exe", "\"\"quoted\"\""}}));
}

TEST(WriteSearchList, ReportsAWriteThePlatformRefused) {
  FakeProfile profile;
  profile.failingSections = {"bad.exe"};
  SearchList list;
  list.AddSearchEntry("good.exe", "", false);
  list.AddSearchEntry("bad.exe", "", false);
  EXPECT_FALSE(WriteSearchList(profile, list));
  SearchList builtInsOnly;
  builtInsOnly.AddSearchEntry("Vex.exe", "", true);
  EXPECT_TRUE(WriteSearchList(profile, builtInsOnly));
  profile.sections = {{"old.exe", {}}};
  profile.deleteFails = true;  // the old section would stay among the new ones
  EXPECT_FALSE(WriteSearchList(profile, builtInsOnly));

  EXPECT_FALSE(HasUserRows(builtInsOnly));
  EXPECT_TRUE(HasUserRows(list));
  SearchList userFirst;
  userFirst.AddSearchEntry("mine.exe", "", false);
  userFirst.AddSearchEntry("Vex.exe", "", true);
  EXPECT_TRUE(HasUserRows(userFirst));
  SearchList userLast;
  userLast.AddSearchEntry("Vex.exe", "", true);
  userLast.AddSearchEntry("mine.exe", "", false);
  EXPECT_TRUE(HasUserRows(userLast));
}

TEST(SearchListFile, RowsNamedAlikeShareOneSectionAndTheLaterWins) {
  // Only possible when two rows were made alike by hand; the file then keeps one entry.
  SearchList list;
  list.AddSearchEntry("a.exe", "first", false);
  list.AddSearchEntry("b.exe", "second", false);
  list.Row(2).ImageName = "A.EXE";
  FakeProfile profile;
  WriteSearchList(profile, list);
  EXPECT_EQ(ReadAll(profile), (Entries{{"A.EXE", "second"}}));
}

}  // namespace
}  // namespace tarnwick
