// The list file in memory: read as the profile functions read it, within bounds, and the save's choice
// of way over fake file steps.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "searchlist/ListFileSave.h"
#include "searchlist/ProfileImage.h"
#include "searchlist/SearchListFile.h"

namespace tarnwick {
namespace {

using Entries = std::vector<std::pair<std::string, std::string>>;

Entries Read(std::string_view bytes, ListReadReport* report = nullptr) {
  Entries read;
  const ListReadReport r = ReadSearchListBytes(
      bytes, false, [&](const std::string& name, const std::string& text) { read.emplace_back(name, text); });
  if (report != nullptr) *report = r;
  return read;
}

TEST(ProfileImage, ReadsAsTheProfileFunctionsDo) {
  const struct {
    const char* file;
    Entries entries;
  } cases[] = {
      {"[a]\r\nImageName=a.exe\r\nDescription=d\r\n", {{"a.exe", "d"}}},
      {"ImageName=before.exe\n[a]\nImageName = a.exe \n  Description=  spaced  \n", {{"a.exe", "spaced"}}},
      {"[a]\rImageName=cr.exe\r", {{"cr.exe", ""}}},   // no LF in the file: CR ends the line
      {"[a]b] text\r\nImageName=x\r\n", {{"x", ""}}},  // the name runs to the last "]"
      {"[A]\r\nimagename=\"q\"\r\n[a]\r\nImageName=second\r\n", {{"q", ""}, {"q", ""}}},  // the first of a name counts
      {"[a]\r\nImageName\r\nImageName=later\r\nDescription='s'\r\n", {{"", "s"}}},        // no "=": no value
      {"; comment\r\n[unclosed\r\n[]\r\nImageName=x\r\n", {}},
  };
  for (const auto& c : cases) EXPECT_EQ(Read(c.file), c.entries) << c.file;
  // A NUL ends a name or value, as it ends the platform's strings.
  EXPECT_EQ(Read(std::string("[s]\r\nImageName=a\0b\r\n", 20)), (Entries{{"a", ""}}));
}

TEST(ProfileImage, WritesWhatReadsBackAndOneSectionPerNameInAnyCase) {
  SearchList list;
  AddBuiltInEntries(list);
  list.AddSearchEntry("app.exe", "Tool", false);
  list.AddSearchEntry(" lead.exe", "  padded", false);
  list.AddSearchEntry("q.exe", "\"quoted\"", false);
  list.AddSearchEntry("b.exe", "", false);
  list.Row(list.Count()).ImageName = "APP.EXE";  // made alike by an edit: the later row's values win
  const std::string bytes = SearchListBytes(list);
  EXPECT_EQ(bytes, std::string("[app.exe]\r\nImageName=APP.EXE\r\nDescription=\r\n"
                               "[lead.exe]\r\nImageName=lead.exe\r\nDescription=padded\r\n"
                               "[q.exe]\r\nImageName=q.exe\r\nDescription=\"\"quoted\"\"\r\n"));
  EXPECT_EQ(Read(bytes), (Entries{{"APP.EXE", ""}, {"lead.exe", "padded"}, {"q.exe", "\"quoted\""}}));
  EXPECT_FALSE(ListDiffersFromFile(list, bytes));
  EXPECT_TRUE(ListDiffersFromFile(list, ""));
  SearchList builtIns;
  AddBuiltInEntries(builtIns);
  EXPECT_EQ(SearchListBytes(builtIns), "");
  // A file's entry that the list refuses (a built-in's name) is no edit the save could lose.
  EXPECT_FALSE(ListDiffersFromFile(builtIns, "[v]\r\nImageName=VEX.EXE\r\n"));
}

// The one load: what it lists, what it tells, and whether the list may later be saved over the file.
TEST(LoadList, ListsTellsAndDecidesWhetherTheFileMayBeSavedOver) {
  const std::string file =
      "[a]\r\nImageName=a.exe\r\n\r\n[General]\r\nLanguage=en\r\n\r\n"  // blank lines between sections
      "[dup]\r\nImageName=VEX.EXE\r\n[b]\r\nImageName=D:\\b.exe\r\n[a2]\r\nImageName=A.exe\r\n"
      "[c]\r\nImageName=Gad*\r\n[z]\r\nImageName=z.exe\r\n";
  const struct {
    const char* name;
    ListFileText file;
    std::vector<std::string> added;
    bool maySave;
    std::vector<std::string> told;
  } cases[] = {
      {"missing", {}, {}, true, {}},
      {"unreadable",
       {.Status = ListFileStatus::Unreadable, .Text = {}, .CutAtSize = false, .Reason = "in use"},
       {},
       false,
       {"Your entries in Tarnwick.ini could not be read (in use): only the built-in entries are listed, and the "
        "file is not saved over."}},
      {"read",
       {.Status = ListFileStatus::Read, .Text = file},
       {"a.exe", "D:\\b.exe", "Gad*", "z.exe"},
       true,
       {"Tarnwick.ini lists these image names more than once; each is listed once, as first given: \"VEX.EXE\", "
        "\"A.exe\".",
        "Tarnwick.ini holds 1 section without an ImageName: skipped.",
        "Tarnwick.ini lists image names that no program's file name can be (a path, a wildcard or no extension), "
        "kept as they are: \"D:\\b.exe\", \"Gad*\"."}},
  };
  for (const auto& c : cases) {
    SearchList list;
    std::size_t heard = 0;
    const ListLoad load = LoadList(list, c.file, [&](std::size_t position) { heard = position; });
    std::vector<std::string> added;
    for (std::size_t i = kBuiltInEntries.size() + 1; i <= list.Count(); ++i) added.push_back(list.Row(i).ImageName);
    EXPECT_EQ(added, c.added) << c.name;
    EXPECT_EQ(heard, list.Count()) << c.name;
    EXPECT_EQ(load.MaySave(), c.maySave) << c.name;
    EXPECT_EQ(DescribeListLoad(load, "Tarnwick.ini"), c.told) << c.name;
  }
  EXPECT_FALSE(NeverMatches("a.b.exe"));
  EXPECT_TRUE(NeverMatches("Gadget"));
  EXPECT_TRUE(NeverMatches("Gadget."));
}

TEST(DescribeDropped, NamesTheLinesOfTheOldFileARewriteLeavesOut) {
  SearchList list;
  AddBuiltInEntries(list);
  list.AppendCheckedUserRow("a.exe", "");
  EXPECT_EQ(DescribeDropped(list, "[a.exe]\r\nImageName=a.exe\r\nDescription=\r\n"), "");
  EXPECT_EQ(DescribeDropped(list, "; mine\r\n[a.exe]\r\nImageName=a.exe\r\nExtra=1\r\n"),
            "2 lines of the old file not kept: \"; mine\", \"Extra=1\"");
  // Past 20, only their number.
  std::string many;
  for (int i = 0; i < 22; ++i) many += ";" + std::to_string(i) + "\r\n";
  const std::string told = DescribeDropped(list, many);
  EXPECT_EQ(told.substr(told.size() - 16), "\";19\" and 2 more");
}

TEST(NameSet, RefusesANameListedOrAddedBeforeInAnyCase) {
  SearchList list;
  AddBuiltInEntries(list);
  NameSet names(list);
  EXPECT_FALSE(names.Add("VEX.EXE"));
  EXPECT_TRUE(names.Add("mine.exe"));
  EXPECT_FALSE(names.Add("MINE.exe"));
}

TEST(BoundedRead, ReadsWhatFitsAndTellsTheRest) {
  std::string many;
  for (int i = 0; i <= 10000; ++i) many += "[e" + std::to_string(i) + "]\r\nImageName=e" + std::to_string(i) + "\r\n";
  ListReadReport report;
  const Entries read = Read(many, &report);
  ASSERT_EQ(read.size(), 10000u);
  EXPECT_EQ(read.back().first, "e9999");
  EXPECT_EQ(report.EntriesLeftOut, 1u);
  EXPECT_EQ(DescribeListOverrun(report, "Tarnwick.ini"),
            "Tarnwick.ini holds more than Tarnwick reads: 1 entry past the first 10000 left out.");

  const std::string longest(260, 'n');
  Read("[a]\r\nImageName=" + longest + "\r\n[b]\r\nImageName=" + longest + "x\r\n", &report);
  EXPECT_EQ(report.NamesTooLong, 1u);
  EXPECT_EQ(Read("[a]\r\nImageName=" + longest + "\r\n").size(), 1u);

  // Past 1 MB: the whole lines before the bound, never half a name.
  std::string big = "[a]\r\nImageName=a.exe\r\nDescription=" + std::string(kMaxListBytes, 'd') + "\r\n";
  EXPECT_EQ(Read(big, &report), (Entries{{"a.exe", ""}}));
  EXPECT_TRUE(report.CutAtSize);
  EXPECT_EQ(DescribeListOverrun(report, "Tarnwick.ini"),
            "Tarnwick.ini holds more than Tarnwick reads: only its first 1 MB was read.");
  report.EntriesLeftOut = 2;
  report.NamesTooLong = 1;
  EXPECT_EQ(DescribeListOverrun(report, "Tarnwick.ini"),
            "Tarnwick.ini holds more than Tarnwick reads: only its first 1 MB was read; 2 entries past the first "
            "10000 left out; 1 entry with an image name longer than 260 characters left out.");
  EXPECT_FALSE(ReadsWhole(big));
  // Exactly 1 MB is read whole, its last entry too.
  std::string full = "[a]\r\nDescription=";
  const std::string last = "\r\n[z]\r\nImageName=z.exe\r\n";
  full += std::string(kMaxListBytes - full.size() - last.size(), 'd') + last;
  ASSERT_EQ(full.size(), kMaxListBytes);
  const Entries whole = Read(full, &report);
  ASSERT_EQ(whole.size(), 2u);
  EXPECT_EQ(whole.back().first, "z.exe");
  EXPECT_TRUE(report.Complete());
  EXPECT_TRUE(ReadsWhole("[a]\r\nImageName=a.exe\r\n"));
  Read("[a]\r\nImageName=a.exe\r\n", &report);
  EXPECT_TRUE(report.Complete());
  EXPECT_EQ(DescribeListOverrun(report, "Tarnwick.ini"), "");
}

// The list file and the folder beside it, as the save's steps find and leave them.
class FakeFiles final : public ListFileSystem {
 public:
  ListFileState state;
  bool besideOk = true, swapOk = true, inPlaceOk = true, restoreOk = true;
  std::string file;  // what the list file holds
  std::string steps;

  ListFileState Open() override {
    state.Content = file;
    return state;
  }
  FileStep WriteBeside(std::string_view content) override {
    steps += "beside ";
    // The new file is whole before anything else happens.
    if (besideOk) beside_ = content;
    return {.Done = besideOk, .Reason = besideOk ? "" : "the folder refuses"};
  }
  FileStep PutBesideInPlace(bool) override {
    steps += "swap ";
    if (swapOk) file = beside_;
    return {.Done = swapOk, .Reason = swapOk ? "" : "swap refused"};
  }
  void RemoveBeside() override { steps += "remove "; }
  FileStep WriteInPlace(std::string_view content) override {
    steps += "in-place ";
    const bool ok = inPlaceWrites_++ == 0 ? inPlaceOk : restoreOk;
    file = ok ? std::string(content) : "half";
    return {.Done = ok, .Reason = ok ? "" : "disk full"};
  }

 private:
  std::string beside_;
  int inPlaceWrites_ = 0;
};

TEST(SaveListContent, ChoosesTheWayThatKeepsTheFileItsRightsAndItsLinks) {
  const std::string old = "[old]\r\nImageName=old\r\n", next = "[new]\r\nImageName=new\r\n";
  const struct {
    const char* name;
    bool exists, writable;
    unsigned links;
    bool foreignLink, followedLink, besideOk, swapOk, inPlaceOk, restoreOk;
    std::string content;  // to save
    bool saved;
    SaveWay way;
    const char* steps;
    std::string fileAfter;
  } cases[] = {
      {"plain", true, true, 1, false, false, true, true, true, true, next, true, SaveWay::NewFile, "beside swap ",
       next},
      {"only the file writable", true, true, 1, false, false, false, true, true, true, next, true, SaveWay::InPlace,
       "beside in-place ", next},
      {"swap refused", true, true, 1, false, false, true, false, true, true, next, true, SaveWay::InPlace,
       "beside swap remove in-place ", next},
      {"hard link", true, true, 2, false, false, true, true, true, true, next, true, SaveWay::InPlace, "in-place ",
       next},
      {"the user's own link", true, true, 1, false, true, true, true, true, true, next, true, SaveWay::InPlace,
       "in-place ", next},
      {"in place fails", true, true, 1, false, false, false, true, false, true, next, false, SaveWay::Nothing,
       "beside in-place in-place ", old},
      {"read-only", true, false, 1, false, false, true, true, true, true, next, false, SaveWay::Nothing, "", old},
      {"nothing writable", true, false, 1, false, false, false, true, true, true, next, false, SaveWay::Nothing, "",
       old},
      {"a link when elevated", true, true, 1, true, false, true, true, true, true, next, false, SaveWay::Nothing, "",
       old},
      {"unchanged", true, false, 1, false, false, false, false, false, false, old, true, SaveWay::Nothing, "", old},
      {"no file yet", false, false, 1, false, false, true, true, true, true, next, true, SaveWay::NewFile,
       "beside swap ", next},
      {"no file, folder refuses", false, false, 1, false, false, false, true, true, true, next, false, SaveWay::Nothing,
       "beside ", ""},
      {"no file, swap refused", false, false, 1, false, false, true, false, true, true, next, false, SaveWay::Nothing,
       "beside swap remove ", ""},
      {"no file, nothing to keep", false, false, 1, false, false, true, true, true, true, "", true, SaveWay::Nothing,
       "", ""},
  };
  for (const auto& c : cases) {
    FakeFiles files;
    files.state = {.Exists = c.exists,
                   .Readable = c.exists,
                   .Writable = c.writable,
                   .FollowedLink = c.followedLink,
                   .ForeignLink = c.foreignLink,
                   .Links = c.links,
                   .Content = {},
                   .Reason = c.writable ? "" : "access denied"};
    files.file = c.exists ? old : "";
    files.besideOk = c.besideOk;
    files.swapOk = c.swapOk;
    files.inPlaceOk = c.inPlaceOk;
    files.restoreOk = c.restoreOk;
    const ListSaveResult result = SaveListContent(files, c.content);
    EXPECT_EQ(result.Saved, c.saved) << c.name;
    EXPECT_EQ(result.Way, c.way) << c.name;
    EXPECT_EQ(files.steps, c.steps) << c.name;
    EXPECT_EQ(files.file, c.fileAfter) << c.name;
    EXPECT_EQ(result.Reason.empty(), c.saved) << c.name << ": " << result.Reason;
    EXPECT_EQ(result.OldContent, files.state.Content) << c.name;
  }
  // A file that is there but cannot be read is left alone.
  FakeFiles unread;
  unread.state = {.Exists = true, .Readable = false, .Writable = true, .Reason = "in use"};
  unread.file = old;
  EXPECT_EQ(SaveListContent(unread, next).Reason, "in use");
  EXPECT_EQ(unread.steps, "");
  EXPECT_EQ(unread.file, old);
  // Old content the caller finds equal to the list (a file past the read's bounds) is left alone.
  FakeFiles files;
  files.state = {.Exists = true,
                 .Readable = true,
                 .Writable = true,
                 .FollowedLink = false,
                 .ForeignLink = false,
                 .Links = 1,
                 .Content = {},
                 .Reason = {}};
  files.file = old;
  const ListSaveResult kept = SaveListContent(files, next, [&](std::string_view content) { return content == old; });
  EXPECT_TRUE(kept.Saved);
  EXPECT_EQ(files.steps, "");
  EXPECT_EQ(files.file, old);
}

}  // namespace
}  // namespace tarnwick
