// The load and save rules of the user's entries, independent of the file behind the profile.
#include "searchlist/SearchListFile.h"

#include <utility>
#include <vector>

#include "common/Text.h"
#include "searchlist/ProfileImage.h"
#include "searchlist/ProfileText.h"

namespace tarnwick {
namespace {

bool IsUserRow(const SearchEntry& row) { return !IsSet(GetEntryFlag(row.Flags, kFlagBuiltIn)); }

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

ListReadReport ReadSearchListBytes(std::string_view bytes, bool cutAtSize, const AddEntryFunction& addEntry) {
  ListReadReport report;
  if (bytes.size() > kMaxListBytes) {
    bytes = bytes.substr(0, kMaxListBytes);
    cutAtSize = true;
  }
  if (cutAtSize) {
    // A line cut in two would give half a name.
    const std::size_t lastBreak = bytes.find_last_of("\r\n");
    bytes = bytes.substr(0, lastBreak == std::string_view::npos ? 0 : lastBreak + 1);
    report.cutAtSize = true;
  }
  ProfileImage image = ProfileImage::Parse(bytes, kMaxListEntries);
  report.entriesLeftOut = image.SectionsLeftOut();
  ReadSearchList(image, [&](const std::string& imageName, const std::string& description) {
    if (imageName.size() > kMaxImageNameLength) {
      ++report.namesTooLong;
      return;
    }
    addEntry(imageName, description);
  });
  return report;
}

std::string DescribeListOverrun(const ListReadReport& report, std::string_view fileName) {
  if (report.Complete()) return {};
  std::string parts;
  const auto add = [&parts](const std::string& part) { parts += (parts.empty() ? "" : "; ") + part; };
  const auto entries = [](std::size_t n) { return std::to_string(n) + (n == 1 ? " entry" : " entries"); };
  if (report.cutAtSize)
    add("only its first " + std::to_string(kMaxListBytes / (std::size_t{1024} * 1024)) + " MB was read");
  if (report.entriesLeftOut > 0) {
    add(entries(report.entriesLeftOut) + " past the first " + std::to_string(kMaxListEntries) + " left out");
  }
  if (report.namesTooLong > 0) {
    add(entries(report.namesTooLong) + " with an image name longer than " + std::to_string(kMaxImageNameLength) +
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

bool ReadsWhole(std::string_view bytes) {
  return ReadSearchListBytes(bytes, false, [](const std::string&, const std::string&) {}).Complete();
}

bool ListDiffersFromFile(const SearchList& list, std::string_view bytes) {
  // What a start would show from each: the file as it is, and the file the list would make.
  const auto loaded = [](std::string_view file) {
    SearchList rows;
    AddBuiltInEntries(rows);
    NameSet names(rows);
    static_cast<void>(ReadSearchListBytes(file, false, [&](const std::string& name, const std::string& text) {
      if (names.Add(name)) rows.AppendCheckedUserRow(name, text);
    }));
    std::vector<std::pair<std::string, std::string>> entries;
    for (std::size_t i = 1; i <= rows.Count(); ++i)
      entries.emplace_back(rows.Row(i).ImageName, rows.Row(i).Description);
    return entries;
  };
  return loaded(bytes) != loaded(SearchListBytes(list));
}

}  // namespace tarnwick
