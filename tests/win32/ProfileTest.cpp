// clsProfile and the file of the user's entries on real files: every operation, the save's ways, bad input,
// folders named in any script.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "app/AppWin32.h"
#include "common/WideTextWin32.h"
#include "searchlist/SearchListFileWin32.h"
#include "searchlist/clsProfile.h"
#include "tests/support/Driver.h"

namespace tarnwick {
namespace {

using namespace test;
using Entries = std::vector<std::pair<std::string, std::string>>;

template <typename F>
void WithProfile(const std::string& path, F use) {
  clsProfile profile(WideFromAnsi(path));
  use(profile);
}

SearchList BuiltIns() {
  SearchList list;
  for (const BuiltInEntry& e : kBuiltInEntries) list.AddSearchEntry(e.ImageName, e.Description, true);
  return list;
}

SearchList WithUserRows(const Entries& rows) {
  SearchList list = BuiltIns();
  for (const auto& [name, description] : rows) list.AddSearchEntry(name, description, false);
  return list;
}

// What a start would add after the built-in rows, and how many entries the duplicate rule refused.
struct Loaded {
  Entries added;
  int duplicates = 0;
};

Loaded Load(const std::wstring& path) {
  SearchList list = BuiltIns();
  Loaded loaded;
  static_cast<void>(LoadSearchListFile(path, [&](const std::string& name, const std::string& description) {
    if (list.AddSearchEntry(name, description, false)) {
      loaded.added.emplace_back(name, description);
    } else {
      ++loaded.duplicates;
    }
  }));
  return loaded;
}
Loaded Load(const std::string& path) { return Load(WideFromAnsi(path)); }

bool Save(const std::wstring& path, const SearchList& list) {
  return SaveSearchListFile(path, list, RunsElevated()).saved;
}
bool Save(const std::string& path, const SearchList& list) { return Save(WideFromAnsi(path), list); }

class ProfileFile : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File("Tarnwick.ini"); }
  void Write(const std::string& content) const { WriteFile(Path(), content); }
  TempDir dir_;
};

TEST(Profile, TheListFileLiesBesideTheExeAndAnInstanceIsNamedAfterTheExeUntilGivenAPath) {
  EXPECT_EQ(ProfilePath(), WideFromAnsi(BinDir() + "Tarnwick.ini"));
  clsProfile profile;
  EXPECT_EQ(profile.FileName(), WideFromAnsi(BinDir() + "tarnwick_win32_tests.ini"));
  profile.FileName(L"C:\\x\\y.ini");
  EXPECT_EQ(profile.FileName(), L"C:\\x\\y.ini");
}

TEST_F(ProfileFile, SectionNamesComeInFileOrder) {
  const struct {
    const char* content;  // nullptr: no file
    std::vector<std::string> names;
  } cases[] = {
      {nullptr, {}},
      {"", {}},
      {"; only a comment\r\n\r\n", {}},
      {"[a]\r\n[b]\r\n", {"a", "b"}},
      {"[b]\r\nk=1\r\n[a]\r\nk=2\r\n[c]", {"b", "a", "c"}},
  };
  for (const auto& c : cases) {
    DeleteFileA(Path().c_str());
    if (c.content != nullptr) Write(c.content);
    WithProfile(Path(),
                [&](clsProfile& p) { EXPECT_EQ(p.GetSectNames(), c.names) << (c.content ? c.content : "no file"); });
  }
  // Reading never creates the file.
  DeleteFileA(Path().c_str());
  WithProfile(Path(), [](clsProfile& p) { p.GetString("a", "k", ""); });
  EXPECT_FALSE(FileExists(Path()));
}

TEST_F(ProfileFile, EmptyValueReadsLikeAMissingKeyAndADefaultFillsOnlyMissingOnes) {
  Write("[s]\r\nempty=\r\nk=v\r\n");
  const struct {
    const char *section, *key, *def, *expected;
  } cases[] = {
      {"s", "k", "", "v"},     {"s", "k", "d", "v"},     {"s", "empty", "", ""},
      {"s", "empty", "d", ""}, {"s", "missing", "", ""}, {"s", "missing", "d", "d"},
      {"none", "k", "d", "d"}, {"S", "K", "", "v"},  // names match without regard to case
  };
  WithProfile(Path(), [&](clsProfile& p) {
    for (const auto& c : cases)
      EXPECT_EQ(p.GetString(c.section, c.key, c.def), c.expected) << c.section << "/" << c.key;
  });
  WithProfile(dir_.File("missing.ini"), [](clsProfile& p) { EXPECT_EQ(p.GetString("s", "k", "d"), "d"); });
}

TEST_F(ProfileFile, GetIntReadsTheNumberOrGivesTheDefault) {
  Write("[s]\r\nn=42\r\nneg=-7\r\ntext=abc\r\n");
  WithProfile(Path(), [](clsProfile& p) {
    EXPECT_EQ(p.GetInt("s", "n", 5), 42);
    EXPECT_EQ(p.GetInt("s", "neg", 5), -7);
    EXPECT_EQ(p.GetInt("s", "text", 5), 0);
    EXPECT_EQ(p.GetInt("s", "missing", 5), 5);
  });
}

TEST_F(ProfileFile, WritesAndDeletesKeysAndSections) {
  WithProfile(Path(), [](clsProfile& p) {
    EXPECT_TRUE(p.WriteString("a", "k1", "one"));
    EXPECT_TRUE(p.WriteString("a", "k2", "two"));
    EXPECT_TRUE(p.WriteString("b", "k", "three"));
    EXPECT_TRUE(p.WriteString("a", "k1", "uno"));  // replaces in place
    EXPECT_EQ(p.GetSectNames(), (std::vector<std::string>{"a", "b"}));
    EXPECT_EQ(p.GetString("a", "k1", ""), "uno");

    EXPECT_TRUE(p.DeleteKey("a", "k1"));
    EXPECT_EQ(p.GetString("a", "k1", "gone"), "gone");
    EXPECT_EQ(p.GetString("a", "k2", ""), "two");

    EXPECT_TRUE(p.DeleteSection("a"));
    EXPECT_EQ(p.GetSectNames(), (std::vector<std::string>{"b"}));
    EXPECT_EQ(p.GetString("a", "k2", "gone"), "gone");
  });
  EXPECT_EQ(ReadFile(Path()), "[b]\r\nk=three\r\n");
}

TEST_F(ProfileFile, ReleaseLeavesTheWrittenFileOnDiskAndCreatesNoneWhenNothingWasWritten) {
  WithProfile(Path(), [](clsProfile& p) { p.WriteString("s", "k", "v"); });
  EXPECT_EQ(ReadFile(Path()), "[s]\r\nk=v\r\n");
  const std::string untouched = dir_.File("untouched.ini");
  WithProfile(untouched, [](clsProfile&) {});
  EXPECT_FALSE(FileExists(untouched));
}

TEST_F(ProfileFile, LongTextsAreCutToTheReadBuffer) {
  Write("[s]\r\nk=" + std::string(250000, 'v') + "\r\n");
  WithProfile(Path(), [](clsProfile& p) { EXPECT_EQ(p.GetString("s", "k", ""), std::string(199998, 'v')); });
  // The name list loses its end, keeping the NULs that close it.
  Write("[" + std::string(250000, 'n') + "]\r\nImageName=x\r\n");
  WithProfile(Path(),
              [](clsProfile& p) { EXPECT_EQ(p.GetSectNames(), std::vector<std::string>{std::string(199997, 'n')}); });
}

TEST_F(ProfileFile, GarbageReadsWithoutHarmAndTheNextSaveLeavesACleanFile) {
  std::string noise;
  unsigned seed = 12345;
  for (int i = 0; i < 5000; ++i) {
    seed = seed * 1103515245u + 12345u;
    noise += static_cast<char>(seed >> 16);
  }
  const std::string cases[] = {
      noise,
      std::string("\xFF\xFE[a]\r\n"),  // a UTF-16 mark before ANSI text
      std::string("\0\0\0\0[a]\r\n", 9),
      std::string("[a\0b]\r\nImageName=q\0r\r\n", 22),
      "[unclosed\r\nImageName=u\r\n=\r\n==\r\n[]\r\n[\r\n]\r\n",
  };
  const SearchList list = WithUserRows({{"keep.exe", "Kept"}});
  for (const std::string& content : cases) {
    Write(content);
    Load(Path());  // must come back, whatever it finds
    EXPECT_TRUE(Save(Path(), list));
    EXPECT_EQ(ReadFile(Path()), "[keep.exe]\r\nImageName=keep.exe\r\nDescription=Kept\r\n");
  }
}

TEST_F(ProfileFile, UserRowsRoundTripInListOrderAndBuiltInRowsAreNeverWritten) {
  const Entries rows = {{"app.exe", "Tool"}, {"b.exe", ""}, {"C.EXE", "third"}};
  ASSERT_TRUE(Save(Path(), WithUserRows(rows)));
  EXPECT_EQ(ReadFile(Path()),
            "[app.exe]\r\nImageName=app.exe\r\nDescription=Tool\r\n"
            "[b.exe]\r\nImageName=b.exe\r\nDescription=\r\n"
            "[C.EXE]\r\nImageName=C.EXE\r\nDescription=third\r\n");
  const Loaded loaded = Load(Path());
  EXPECT_EQ(loaded.added, rows);
  EXPECT_EQ(loaded.duplicates, 0);
  EXPECT_FALSE(FileExists(Path() + ".new"));
}

TEST_F(ProfileFile, ForeignSectionsExtraKeysAndOtherNamesLoadByImageNameAndAreRewritten) {
  Write(
      "; written by hand\r\n"
      "[Other]\r\nImageName=o.exe\r\nExtra=1\r\nDescription=foreign\r\n"
      "[renamed]\r\nImageName=real.exe\r\nDescription=d\r\n"
      "[nodesc]\r\nImageName=nd.exe\r\n"
      "[dup]\r\nImageName=VEX.EXE\r\nDescription=built-in twin\r\n"
      "[dup2]\r\nImageName=O.exe\r\n");
  const Loaded loaded = Load(Path());
  EXPECT_EQ(loaded.added, (Entries{{"o.exe", "foreign"}, {"real.exe", "d"}, {"nd.exe", ""}}));
  EXPECT_EQ(loaded.duplicates, 2);
  SearchList list = BuiltIns();
  for (const auto& [name, description] : loaded.added) list.AddSearchEntry(name, description, false);
  ASSERT_TRUE(Save(Path(), list));
  EXPECT_EQ(ReadFile(Path()),
            "[o.exe]\r\nImageName=o.exe\r\nDescription=foreign\r\n"
            "[real.exe]\r\nImageName=real.exe\r\nDescription=d\r\n"
            "[nd.exe]\r\nImageName=nd.exe\r\nDescription=\r\n");
}

TEST_F(ProfileFile, SectionsWithoutImageNameLoadAsEmptyNamesOnce) {
  Write("[x]\r\nDescription=first\r\n[y]\r\nDescription=second\r\n");
  const Loaded loaded = Load(Path());
  EXPECT_EQ(loaded.added, (Entries{{"", "first"}}));
  EXPECT_EQ(loaded.duplicates, 1);
}

TEST_F(ProfileFile, DeletingEveryUserRowLeavesAFileWithoutSections) {
  Write("[a.exe]\r\nImageName=a.exe\r\nDescription=\r\n");
  ASSERT_TRUE(Save(Path(), BuiltIns()));
  EXPECT_EQ(ReadFile(Path()), "");
  EXPECT_TRUE(Load(Path()).added.empty());
}

TEST_F(ProfileFile, NoFileAndNoUserRowsWritesNothing) {
  EXPECT_TRUE(Save(Path(), BuiltIns()));
  EXPECT_FALSE(FileExists(Path()));
  EXPECT_FALSE(FileExists(Path() + ".new"));
}

TEST_F(ProfileFile, MissingFolderAndReadOnlyFileFailWithAReasonAndKeepTheOld) {
  const SearchList list = WithUserRows({{"new.exe", ""}});
  const SearchListSave nowhere = SaveSearchListFile(WideFromAnsi(dir_.File("gone\\Tarnwick.ini")), list, false);
  EXPECT_FALSE(nowhere.saved);
  EXPECT_TRUE(nowhere.editLost);
  EXPECT_FALSE(nowhere.reason.empty());
  EXPECT_TRUE(Load(dir_.File("gone\\Tarnwick.ini")).added.empty());

  const std::string old = "[old.exe]\r\nImageName=old.exe\r\nDescription=\r\n";
  Write(old);
  SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_READONLY);
  const SearchListSave readOnly = SaveSearchListFile(WideFromAnsi(Path()), list, false);
  EXPECT_FALSE(readOnly.saved);
  EXPECT_TRUE(readOnly.editLost);
  EXPECT_EQ(readOnly.reason, "the file is read-only");
  // Nothing to lose when the file holds the list already.
  EXPECT_FALSE(SaveSearchListFile(WideFromAnsi(Path()), WithUserRows({{"old.exe", ""}}), false).editLost);
  SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_NORMAL);
  EXPECT_EQ(ReadFile(Path()), old);
  EXPECT_FALSE(FileExists(Path() + ".new"));
}

TEST_F(ProfileFile, AStaleNewFileFromAnInterruptedSaveIsReplaced) {
  Write("[old.exe]\r\nImageName=old.exe\r\nDescription=kept\r\n");
  WriteFile(Path() + ".new", "[stale]\r\nImageName=stale\r\n");
  EXPECT_TRUE(Save(Path(), WithUserRows({{"new.exe", ""}})));
  EXPECT_EQ(ReadFile(Path()), "[new.exe]\r\nImageName=new.exe\r\nDescription=\r\n");
  EXPECT_FALSE(FileExists(Path() + ".new"));
}

// What the profile functions make of names and descriptions with a meaning in the file, or blanks.
TEST_F(ProfileFile, OddNamesAndValuesSurviveAsThePlatformReadsThem) {
  const struct {
    std::string name, description, loadedName, loadedDescription;
  } cases[] = {
      {"a]b.exe", "x", "a]b.exe", "x"},
      {"a=b.exe", "a=b", "a=b.exe", "a=b"},
      {";semi.exe", ";c", ";semi.exe", ";c"},
      {"[x.exe", "[", "[x.exe", "["},
      {"x[y]z.exe", "]", "x[y]z.exe", "]"},
      {"\xE9t\xE9.exe", "caf\xE9", "\xE9t\xE9.exe", "caf\xE9"},  // ANSI (1252) letters
      {" lead.exe", "  padded  ", "lead.exe", "padded"},         // blanks around names and values go
      {"trail.exe ", "\"quoted\"", "trail.exe", "\"quoted\""},   // quotes around a value are kept
      {"single.exe", "'single'", "single.exe", "'single'"},
      {"half.exe", "\"half", "half.exe", "\"half"},
  };
  Entries rows;
  Entries expected;
  for (const auto& c : cases) {
    rows.emplace_back(c.name, c.description);
    expected.emplace_back(c.loadedName, c.loadedDescription);
  }
  // Empty names and texts the platform cannot hold must not cost the others their place.
  rows.insert(rows.begin() + 2, {"", "no name"});
  rows.emplace_back("long.exe", std::string(250000, 'd'));
  ASSERT_TRUE(Save(Path(), WithUserRows(rows)));
  Loaded loaded = Load(Path());
  ASSERT_FALSE(loaded.added.empty());
  const auto [longName, longDescription] = loaded.added.back();
  loaded.added.pop_back();
  EXPECT_EQ(longName, "long.exe");
  EXPECT_EQ(longDescription, std::string(250000, 'd'));  // within the read's bound, whole
  std::erase_if(loaded.added, [](const auto& entry) { return entry.first.empty(); });
  EXPECT_EQ(loaded.added, expected);
}

// A folder whose name no ANSI code page holds: the list, its save and the profile functions all reach it,
// and the file's text stays in the ANSI code page.
TEST_F(ProfileFile, AFolderNamedInAnyScriptHoldsTheListInAnsiText) {
  const std::wstring folder =
      WideFromAnsi(dir_.Path()) +
      L"\u0141\u00f3d\u017a \u0418\u043d\u0441\u0442\u0440\u0443\u043c\u0435\u043d\u0442\u044b\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring path = folder + L"Tarnwick.ini";
  ASSERT_TRUE(Save(path, WithUserRows({{"caf\xE9.exe", "d\xE9j\xE0"}})));
  EXPECT_EQ(ReadWideFile(path), "[caf\xE9.exe]\r\nImageName=caf\xE9.exe\r\nDescription=d\xE9j\xE0\r\n");
  EXPECT_EQ(Load(path).added, (Entries{{"caf\xE9.exe", "d\xE9j\xE0"}}));
  {
    clsProfile profile(path);
    EXPECT_EQ(profile.GetString("caf\xE9.exe", "Description", ""), "d\xE9j\xE0");
    EXPECT_TRUE(profile.WriteString("caf\xE9.exe", "Description", "\xFC"));
  }
  EXPECT_EQ(ReadWideFile(path), "[caf\xE9.exe]\r\nImageName=caf\xE9.exe\r\nDescription=\xFC\r\n");
  DeleteFileW(path.c_str());
  RemoveDirectoryW(folder.c_str());
}

// The other names of a hard-linked list see the save, and the new-file way keeps the file's attributes.
TEST_F(ProfileFile, ASaveKeepsHardLinksAndAttributes) {
  const std::string old = "[old.exe]\r\nImageName=old.exe\r\nDescription=\r\n";
  const std::string next = "[new.exe]\r\nImageName=new.exe\r\nDescription=\r\n";
  const std::string kept = dir_.File("persist.ini");
  WriteFile(kept, old);
  ASSERT_TRUE(CreateHardLinkA(Path().c_str(), kept.c_str(), nullptr));
  ASSERT_TRUE(Save(Path(), WithUserRows({{"new.exe", ""}})));
  EXPECT_EQ(ReadFile(kept), next);
  EXPECT_EQ(ReadFile(Path()), next);

  DeleteFileA(Path().c_str());
  Write(old);
  ASSERT_TRUE(SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_HIDDEN));
  ASSERT_TRUE(Save(Path(), WithUserRows({{"new.exe", ""}})));
  EXPECT_EQ(ReadFile(Path()), next);
  EXPECT_NE(GetFileAttributesA(Path().c_str()) & FILE_ATTRIBUTE_HIDDEN, 0u);
}

}  // namespace
}  // namespace tarnwick
