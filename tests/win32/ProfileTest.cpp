// The file of the user's entries on real files: read as the profile functions read it, the save's ways,
// bad input, names and folders in any script, a file held by another program.
#include <windows.h>

#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "app/AppWin32.h"
#include "app/TrustWin32.h"
#include "common/WideTextWin32.h"
#include "searchlist/ProfileImage.h"
#include "searchlist/SearchListFileWin32.h"
#include "tests/support/Driver.h"

namespace tarnwick {
namespace {

using namespace test;
using namespace std::string_literals;
using Entries = std::vector<std::pair<std::string, std::string>>;

SearchList BuiltIns() {
  SearchList list;
  AddBuiltInEntries(list);
  return list;
}

SearchList WithUserRows(const Entries& rows) {
  SearchList list = BuiltIns();
  for (const auto& [name, description] : rows) list.AddSearchEntry(name, description, false);
  return list;
}

// What a start adds after the built-in rows, and what its load found.
struct Loaded {
  Entries added;
  ListLoad load;
};

Loaded Load(const std::wstring& path) {
  SearchList list;
  Loaded loaded;
  loaded.load = LoadList(list, ReadSearchListFile(path));
  for (std::size_t i = kBuiltInEntries.size() + 1; i <= list.Count(); ++i)
    loaded.added.emplace_back(list.Row(i).ImageName, list.Row(i).Description);
  return loaded;
}
Loaded Load(const std::string& path) { return Load(WideFromUtf8(path)); }

bool Save(const std::wstring& path, const SearchList& list) {
  return SaveSearchListFile(path, list, RunsElevated()).Saved;
}
bool Save(const std::string& path, const SearchList& list) { return Save(WideFromUtf8(path), list); }

// Every section's name with its ImageName and Description, as the real W profile functions read the file.
std::vector<std::string> ThroughProfileFunctions(const std::wstring& path) {
  std::vector<wchar_t> names(65536), value(4096);
  GetPrivateProfileSectionNamesW(names.data(), static_cast<DWORD>(names.size()), path.c_str());
  std::vector<std::string> read;
  for (const wchar_t* section = names.data(); *section != L'\0'; section += wcslen(section) + 1) {
    std::string entry = "[" + Utf8FromWide(section) + "]";
    for (const wchar_t* key : {L"ImageName", L"Description"}) {
      GetPrivateProfileStringW(section, key, L"<none>", value.data(), static_cast<DWORD>(value.size()), path.c_str());
      entry += " " + Utf8FromWide(value.data());
    }
    read.push_back(entry);
  }
  return read;
}

// The same through the program's own reader.
std::vector<std::string> ThroughTheReader(const std::wstring& path) {
  ProfileImage image = ProfileImage::Parse(ReadSearchListFile(path).Text);
  std::vector<std::string> read;
  for (const std::string& section : image.GetSectNames()) {
    read.push_back("[" + section + "] " + image.GetString(section, kImageNameKey, "<none>") + " " +
                   image.GetString(section, kDescriptionKey, "<none>"));
  }
  return read;
}

class ProfileFile : public ::testing::Test {
 protected:
  std::string Path() const { return dir_.File("Tarnwick.ini"); }
  void Write(const std::string& content) const { WriteFile(Path(), content); }
  TempDir dir_;
};

TEST(Profile, TheListFileLiesBesideTheExe) { EXPECT_EQ(ProfilePath(), WideFromUtf8(BinDir() + "Tarnwick.ini")); }

// Crafted lines through the real GetPrivateProfileSectionNamesW/GetPrivateProfileStringW and through the
// reader: the same sections, names and values.
TEST_F(ProfileFile, TheReaderReadsEveryLineAsTheProfileFunctions) {
  const std::string cases[] = {
      "",
      "; only a comment\r\n\r\n",
      "[b]\r\nImageName=b.exe\r\n\r\n[a]\r\nImageName=a.exe\r\n",  // a blank line between sections
      "[ sp.exe ]\r\nImageName = sp.exe \r\n",
      "\t[\tt.exe\t]\t\r\nImageName\t=\tt.exe\r\n",
      "[a]]\r\nImageName=a.exe\r\n",
      "[open\r\nImageName=o.exe\r\n[next]\r\nImageName=n.exe\r\n",
      "[]\r\nImageName=e.exe\r\n[x]\r\n",
      "[q]\r\nImageName=\"q.exe\"\r\nDescription='single'\r\n[h]\r\nImageName=\"half\r\n",
      "[c]\r\n;ImageName=no.exe\r\nImageName=c.exe ; not a comment\r\n",
      "[d]\r\nImageName=first.exe\r\nImageName=second.exe\r\n[D]\r\nImageName=other.exe\r\n",
      "[k]\r\nImageName\r\nDescription=\r\n",
      "[cr]\rImageName=cr.exe\rDescription=x\r\n[lf]\nImageName=lf.exe\n",
      "[n]\r\nImageName=n\0ul.exe\r\nDescription=d\r\n"s,
      "\xEF\xBB\xBF[u8]\r\nImageName=G\xC4\x81"
      "dget.exe\r\n",
      "[caf\xE9]\r\nImageName=caf\xE9.exe\r\n",  // ANSI (1252)
  };
  std::vector<std::string> files(std::begin(cases), std::end(cases));
  // UTF-16 LE and BE with their marks. Windows (10 and later) reads a UTF-8 mark and a UTF-16 BE mark as
  // ANSI text, losing the first section or every one; Wine decodes both, and so does the reader, on purpose:
  // a list read as Windows reads it there would be saved over without those entries.
  const std::wstring wide = L"[w]\r\nImageName=G\u0101dget.exe\r\nDescription=\u0414\r\n";
  std::string little = "\xFF\xFE", big = "\xFE\xFF";
  for (const wchar_t unit : wide) {
    little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
    big += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
  }
  files.push_back(little);
  files.push_back(big);
  const std::wstring path = WideFromUtf8(Path());
  for (const std::string& content : files) {
    Write(content);
    EXPECT_EQ(ThroughTheReader(path), ThroughProfileFunctions(path)) << content;
  }
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
  EXPECT_TRUE(loaded.load.Duplicates.empty());
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
  EXPECT_EQ(loaded.load.Duplicates, (std::vector<std::string>{"VEX.EXE", "O.exe"}));
  SearchList list = BuiltIns();
  for (const auto& [name, description] : loaded.added) list.AddSearchEntry(name, description, false);
  ASSERT_TRUE(Save(Path(), list));
  EXPECT_EQ(ReadFile(Path()),
            "[o.exe]\r\nImageName=o.exe\r\nDescription=foreign\r\n"
            "[real.exe]\r\nImageName=real.exe\r\nDescription=d\r\n"
            "[nd.exe]\r\nImageName=nd.exe\r\nDescription=\r\n");
}

TEST_F(ProfileFile, SectionsWithoutImageNameAreSkippedAndCounted) {
  Write("[x]\r\nDescription=first\r\n[y]\r\nDescription=second\r\n");
  const Loaded loaded = Load(Path());
  EXPECT_TRUE(loaded.added.empty());
  EXPECT_EQ(loaded.load.WithoutImageName, 2u);
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
  const SearchListSave nowhere = SaveSearchListFile(WideFromUtf8(dir_.File("gone\\Tarnwick.ini")), list, false);
  EXPECT_FALSE(nowhere.Saved);
  EXPECT_TRUE(nowhere.EditLost);
  EXPECT_FALSE(nowhere.Reason.empty());
  EXPECT_TRUE(Load(dir_.File("gone\\Tarnwick.ini")).added.empty());

  const std::string old = "[old.exe]\r\nImageName=old.exe\r\nDescription=\r\n";
  Write(old);
  SetFileAttributesA(Path().c_str(), FILE_ATTRIBUTE_READONLY);
  const SearchListSave readOnly = SaveSearchListFile(WideFromUtf8(Path()), list, false);
  EXPECT_FALSE(readOnly.Saved);
  EXPECT_TRUE(readOnly.EditLost);
  EXPECT_EQ(readOnly.Reason, "the file is read-only");
  // Nothing to lose when the file holds the list already.
  EXPECT_FALSE(SaveSearchListFile(WideFromUtf8(Path()), WithUserRows({{"old.exe", ""}}), false).EditLost);
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
      {"\xC3\xA9t\xC3\xA9.exe", "caf\xC3\xA9", "\xC3\xA9t\xC3\xA9.exe", "caf\xC3\xA9"},  // UTF-8 within the code page
      {" lead.exe", "  padded  ", "lead.exe", "padded"},        // blanks around names and values go
      {"trail.exe ", "\"quoted\"", "trail.exe", "\"quoted\""},  // quotes around a value are kept
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

// A folder whose name no ANSI code page holds: the list and its save reach it. Names within the code page
// are written in it, as ever; a name outside it makes the file UTF-16 with its mark, which the profile
// functions read too.
TEST_F(ProfileFile, NamesInAnyScriptAreWrittenInTheCodePageWhereTheyFitElseInUtf16) {
  const std::wstring folder =
      WideFromUtf8(dir_.Path()) +
      L"\u0141\u00f3d\u017a \u0418\u043d\u0441\u0442\u0440\u0443\u043c\u0435\u043d\u0442\u044b\\";
  ASSERT_TRUE(CreateDirectoryW(folder.c_str(), nullptr));
  const std::wstring path = folder + L"Tarnwick.ini";
  const Entries ansi = {{"caf\xC3\xA9.exe", "d\xC3\xA9j\xC3\xA0"}};
  ASSERT_TRUE(Save(path, WithUserRows(ansi)));
  EXPECT_EQ(ReadWideFile(path), "[caf\xE9.exe]\r\nImageName=caf\xE9.exe\r\nDescription=d\xE9j\xE0\r\n");
  EXPECT_EQ(Load(path).added, ansi);

  const Entries unicode = {{"G\xC4\x81"
                            "dget.exe",
                            "\xD0\x94"},
                           {"Gadget.exe", ""}};
  ASSERT_TRUE(Save(path, WithUserRows(unicode)));
  EXPECT_EQ(ReadWideFile(path).substr(0, 4), std::string("\xFF\xFE[\0", 4));
  EXPECT_EQ(Load(path).added, unicode);
  EXPECT_EQ(ThroughProfileFunctions(path), (std::vector<std::string>{"[G\xC4\x81"
                                                                     "dget.exe] G\xC4\x81"
                                                                     "dget.exe \xD0\x94",
                                                                     "[Gadget.exe] Gadget.exe "}));
  DeleteFileW(path.c_str());
  RemoveDirectoryW(folder.c_str());
}

// "Holds the list" compares the decoded text: a file with a mark, as a start read it, is not rewritten
// for nothing, not even one past the read's bounds (10,000 entries; 1 MB of UTF-16), whose rest stays.
TEST_F(ProfileFile, AFileWithAByteOrderMarkHoldingTheListIsLeftAlone) {
  // More entries than are read; and fewer, but more bytes of UTF-16 than are read.
  const auto entries = [](std::size_t count, std::size_t descriptionLength) {
    std::wstring text;
    for (std::size_t i = 0; i < count; ++i) {
      const std::wstring name = L"e" + std::to_wstring(i) + L".exe";
      text += L"[" + name + L"]\r\nImageName=" + name + L"\r\nDescription=" + std::wstring(descriptionLength, L'd') +
              L"\r\n";
    }
    return text;
  };
  std::string little = "\xFF\xFE";
  for (const wchar_t unit : entries(5000, 80)) little += {static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  ASSERT_GT(little.size(), kMaxListBytes);
  for (const std::string& content : {"\xEF\xBB\xBF" + Utf8FromWide(entries(kMaxListEntries + 5, 0)), little,
                                     "\xEF\xBB\xBF" + Utf8FromWide(entries(1, 0))}) {
    Write(content);
    SearchList list;
    static_cast<void>(LoadList(list, ReadSearchListFile(WideFromUtf8(Path()))));
    EXPECT_TRUE(Save(Path(), list));
    EXPECT_TRUE(ReadFile(Path()) == content) << content.size();
  }
}

// Held without sharing by another program: tried again for about 2 s, then told as unreadable, never as
// missing; a save then finds it unreadable too and writes nothing.
TEST_F(ProfileFile, AFileHeldWithoutSharingIsReadOnceReleasedElseToldUnreadable) {
  const std::string old = "[old.exe]\r\nImageName=old.exe\r\n";
  Write(old);
  const std::wstring path = WideFromUtf8(Path());
  HANDLE held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  ASSERT_NE(held, INVALID_HANDLE_VALUE);
  std::thread release([held] {
    Sleep(500);
    CloseHandle(held);
  });
  const ListFileText released = ReadSearchListFile(path);
  release.join();
  EXPECT_EQ(released.Status, ListFileStatus::Read);
  EXPECT_EQ(released.Text, old);

  held = CreateFileW(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
  const ListFileText unread = ReadSearchListFile(path);
  EXPECT_EQ(unread.Status, ListFileStatus::Unreadable);
  EXPECT_NE(unread.Reason.find("(error 32)"), std::string::npos) << unread.Reason;
  EXPECT_FALSE(SaveSearchListFile(path, BuiltIns(), false).Saved);
  CloseHandle(held);
  EXPECT_EQ(ReadFile(Path()), old);
}

// The other names of a hard-linked list see the save (unless elevated), and the new-file way keeps the
// file's attributes.
TEST_F(ProfileFile, ASaveKeepsHardLinksAndAttributes) {
  const std::string old = "[old.exe]\r\nImageName=old.exe\r\nDescription=\r\n";
  const std::string next = "[new.exe]\r\nImageName=new.exe\r\nDescription=\r\n";
  const std::string kept = dir_.File("persist.ini");
  WriteFile(kept, old);
  ASSERT_TRUE(CreateHardLinkA(Path().c_str(), kept.c_str(), nullptr));
  // Elevated, a file with a second name is not written through: that name may be anyone's.
  const SearchListSave refused = SaveSearchListFile(WideFromUtf8(Path()), WithUserRows({{"new.exe", ""}}), true);
  EXPECT_FALSE(refused.Saved);
  EXPECT_EQ(ReadFile(kept), old);
  ASSERT_TRUE(SaveSearchListFile(WideFromUtf8(Path()), WithUserRows({{"new.exe", ""}}), false).Saved);
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
