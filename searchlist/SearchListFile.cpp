// The load and save rules of the user's entries, independent of the file behind the profile.
#include "searchlist/SearchListFile.h"

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

}  // namespace tarnwick
