// The load and save rules of the user's entries, independent of the file behind the profile.
#include "searchlist/SearchListFile.h"

#include <unordered_set>
#include <utility>
#include <vector>

#include "common/Text.h"
#include "searchlist/ProfileImage.h"
#include "searchlist/ProfileText.h"

namespace tarnwick {
namespace {

bool IsUserRow(const SearchEntry& row) { return !row.BuiltIn; }

}  // namespace

void ReadSearchList(ProfileAccess& profile, const AddEntryFunction& addEntry) {
  for (const std::string& section : profile.GetSectNames()) {
    const std::string imageName = profile.GetString(section, kImageNameKey, "");
    const std::string description = profile.GetString(section, kDescriptionKey, "");
    addEntry(imageName, description);
  }
}

bool WriteSearchList(ProfileAccess& profile, const SearchList& list) {
  bool written = true;
  // Whoever wrote a section, it goes: the file holds exactly the user's rows afterwards.
  for (const std::string& section : profile.GetSectNames()) written &= profile.DeleteSection(section);
  for (std::size_t i = 1; i <= list.Count(); ++i) {
    const SearchEntry& row = list.Row(i);
    // An empty name matches no process, and as a section name it could not be read back.
    if (!IsUserRow(row) || row.ImageName.empty()) continue;
    written &= profile.WriteString(row.ImageName, kImageNameKey, ProfileValue(row.ImageName));
    written &= profile.WriteString(row.ImageName, kDescriptionKey, ProfileValue(row.Description));
  }
  return written;
}

bool HasUserRows(const SearchList& list) {
  for (std::size_t i = 1; i <= list.Count(); ++i) {
    if (IsUserRow(list.Row(i))) return true;
  }
  return false;
}

NameSet::NameSet(const SearchList& list) {
  for (std::size_t i = 1; i <= list.Count(); ++i) upperCased_.insert(UpperCase(list.Row(i).ImageName));
}

bool NameSet::Add(std::string_view imageName) { return upperCased_.insert(UpperCase(imageName)).second; }

namespace {

// The bounded read; `measured` when the bytes were bounded before they were decoded (the reader's).
ListReadReport ReadBounded(std::string_view bytes, bool cutAtSize, bool measured, const AddEntryFunction& addEntry) {
  ListReadReport report;
  if (!measured && bytes.size() > kMaxListBytes) {
    bytes = bytes.substr(0, kMaxListBytes);
    cutAtSize = true;
  }
  if (cutAtSize) {
    // A line cut in two would give half a name.
    const std::size_t lastBreak = bytes.find_last_of("\r\n");
    bytes = bytes.substr(0, lastBreak == std::string_view::npos ? 0 : lastBreak + 1);
    report.CutAtSize = true;
  }
  ProfileImage image = ProfileImage::Parse(bytes, kMaxListEntries);
  report.EntriesLeftOut = image.SectionsLeftOut();
  ReadSearchList(image, [&](const std::string& imageName, const std::string& description) {
    if (imageName.size() > kMaxImageNameLength) {
      ++report.NamesTooLong;
      return;
    }
    addEntry(imageName, description);
  });
  return report;
}

}  // namespace

ListReadReport ReadSearchListBytes(std::string_view bytes, bool cutAtSize, const AddEntryFunction& addEntry) {
  return ReadBounded(bytes, cutAtSize, false, addEntry);
}

std::string DescribeListOverrun(const ListReadReport& report, std::string_view fileName) {
  if (report.Complete()) return {};
  std::string parts;
  const auto add = [&parts](const std::string& part) { parts += (parts.empty() ? "" : "; ") + part; };
  const auto entries = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); };
  if (report.CutAtSize)
    add("only its first " + std::to_string(kMaxListBytes / (std::size_t{1024} * 1024)) + " MB was read");
  if (report.EntriesLeftOut > 0) {
    add(entries(report.EntriesLeftOut) + " past the first " + std::to_string(kMaxListEntries) + " left out");
  }
  if (report.NamesTooLong > 0) {
    add(entries(report.NamesTooLong) + " with an image name longer than " + std::to_string(kMaxImageNameLength) +
        " characters left out");
  }
  return std::string(fileName) + " holds more than Tarnwick reads: " + parts + ".";
}

std::string SearchListBytes(const SearchList& list) {
  ProfileImage image;
  // An empty image has nothing to delete: only the writes count, and they always succeed in memory.
  static_cast<void>(WriteSearchList(image, list));
  return image.Bytes();
}

namespace {

ListFileText TextFile(std::string_view text) {
  return {.Status = ListFileStatus::Read,
          .Text = std::string(text.substr(0, kMaxListBytes)),
          .CutAtSize = text.size() > kMaxListBytes};
}

// What a start would show from the file, and whether it read the file whole.
std::vector<std::pair<std::string, std::string>> RowsOf(const ListFileText& file, bool* whole = nullptr) {
  SearchList rows;
  const ListLoad load = LoadList(rows, file);
  if (whole != nullptr) *whole = load.Overrun.Complete();
  std::vector<std::pair<std::string, std::string>> entries;
  for (std::size_t i = 1; i <= rows.Count(); ++i) entries.emplace_back(rows.Row(i).ImageName, rows.Row(i).Description);
  return entries;
}

}  // namespace

bool ReadsWhole(const ListFileText& file) {
  bool whole = false;
  static_cast<void>(RowsOf(file, &whole));
  return whole;
}

bool ReadsWhole(std::string_view text) { return ReadsWhole(TextFile(text)); }

bool ListDiffersFromFile(const SearchList& list, const ListFileText& file) {
  // What a start would show from each: the file as it is, and the file the list would make.
  return RowsOf(file) != RowsOf(TextFile(SearchListBytes(list)));
}

bool ListDiffersFromFile(const SearchList& list, std::string_view text) {
  return ListDiffersFromFile(list, TextFile(text));
}

bool NeverMatches(std::string_view imageName) {
  if (imageName.find_first_of("\\/:*?\"<>|") != std::string_view::npos) return true;
  const std::size_t dot = imageName.rfind('.');
  return dot == std::string_view::npos || dot + 1 == imageName.size();
}

ListLoad LoadList(SearchList& list, const ListFileText& file, const std::function<void(std::size_t)>& rowAdded) {
  ListLoad load{.Status = file.Status, .Reason = file.Reason};
  AddBuiltInEntries(list);
  if (rowAdded)
    for (std::size_t i = 1; i <= list.Count(); ++i) rowAdded(i);
  if (file.Status != ListFileStatus::Read) return load;
  NameSet names(list);
  load.Overrun =
      ReadBounded(file.Text, file.CutAtSize, true, [&](const std::string& imageName, const std::string& description) {
        if (imageName.empty()) {
          ++load.WithoutImageName;
          return;
        }
        if (!names.Add(imageName)) {
          load.Duplicates.push_back(imageName);
          return;
        }
        if (NeverMatches(imageName)) load.NeverMatching.push_back(imageName);
        list.AppendCheckedUserRow(imageName, description);
        if (rowAdded) rowAdded(list.Count());
      });
  return load;
}

namespace {

// The names in quotes; past the first 20 only their number, so that a message box stays on the screen.
std::string Quoted(const std::vector<std::string>& names) {
  constexpr std::size_t kNamed = 20;
  std::string text;
  for (std::size_t i = 0; i < names.size() && i < kNamed; ++i) text += (i == 0 ? "\"" : ", \"") + names[i] + "\"";
  if (names.size() > kNamed) text += " and " + std::to_string(names.size() - kNamed) + " more";
  return text;
}

std::vector<std::string> Lines(std::string_view text) {
  std::vector<std::string> lines;
  while (!text.empty()) {
    const std::size_t end = text.find_first_of("\r\n");
    const std::string_view line = TrimBlanks(text.substr(0, end));
    if (!line.empty()) lines.emplace_back(line);
    text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
  }
  return lines;
}

}  // namespace

std::vector<std::string> DescribeListLoad(const ListLoad& load, std::string_view fileName) {
  const std::string file(fileName);
  std::vector<std::string> told;
  if (load.Status == ListFileStatus::Unreadable) {
    told.push_back("Your entries in " + file + " could not be read (" + load.Reason +
                   "): only the built-in entries are listed, and the file is not saved over.");
    return told;
  }
  if (std::string overrun = DescribeListOverrun(load.Overrun, fileName); !overrun.empty())
    told.push_back(std::move(overrun));
  if (!load.Duplicates.empty()) {
    told.push_back(file + " lists these image names more than once; each is listed once, as first given: " +
                   Quoted(load.Duplicates) + ".");
  }
  if (load.WithoutImageName > 0) {
    told.push_back(file + " holds " + std::to_string(load.WithoutImageName) +
                   (load.WithoutImageName == 1 ? " section" : " sections") + " without an ImageName: skipped.");
  }
  if (!load.NeverMatching.empty()) {
    told.push_back(file + " lists image names that no program's file name can be (a path, a wildcard or no " +
                   "extension), kept as they are: " + Quoted(load.NeverMatching) + ".");
  }
  return told;
}

std::string DescribeDropped(const SearchList& list, std::string_view oldText) {
  const std::vector<std::string> now = Lines(SearchListBytes(list));
  const std::unordered_set<std::string> kept(now.begin(), now.end());
  std::vector<std::string> dropped;
  for (std::string& line : Lines(oldText))
    if (!kept.contains(line)) dropped.push_back(std::move(line));
  if (dropped.empty()) return {};
  return std::to_string(dropped.size()) + (dropped.size() == 1 ? " line" : " lines") +
         " of the old file not kept: " + Quoted(dropped);
}

}  // namespace tarnwick
