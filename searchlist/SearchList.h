// The search list's rows, their two flags, the duplicate rule and the nine built-in entries.
#pragma once
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A row: whether it has a line in the running list is the scan cycle's to know (ScanCycle).
struct SearchEntry {
  std::string ImageName;
  std::string Description;
  bool BuiltIn = false;  // one of the nine: never edited, deleted or saved
};

struct BuiltInEntry {
  const char* ImageName;
  const char* Description;
};
extern const std::array<BuiltInEntry, 9> kBuiltInEntries;

// The two texts the entry dialog's OK hands on: without blanks at either end, since the profile
// functions drop them (a name kept with them would come back as a second entry of the same name).
struct EntryTexts {
  std::string ImageName;
  std::string Description;
};
// Nothing when the image name is empty after trimming: such a name can never match a process.
std::optional<EntryTexts> EntryFromDialog(std::string_view imageName, std::string_view description);

// What an edit of a row did.
enum class EditOutcome {
  Duplicate,  // another row has the name (in any letter case): nothing changed
  SameImage,  // the name is the row's own, perhaps in another letter case: the description may have changed
  NewImage,   // the row now names another image: its running line no longer holds
};

// The ordered rows, addressed by position 1 to N.
class SearchList {
 public:
  // Appends a row unless a row with the same image name (ignoring letter case) exists.
  // Returns false for such a duplicate; the caller tells the user.
  bool AddSearchEntry(std::string imageName, std::string description, bool builtIn);
  // Appends a user row whose name the caller has checked against every row (a NameSet): a check per row
  // would make the load of a long list file take the square of its length.
  void AppendCheckedUserRow(std::string imageName, std::string description);

  // Gives the row at `position` new texts unless another row has the name. For a new image the caller
  // takes the row's line out of the running list.
  EditOutcome EditSearchEntry(std::size_t position, std::string imageName, std::string description);

  // Position (1-based) of the first row named like imageName, skipping position `except`; 0 if none.
  std::size_t FindName(std::string_view imageName, std::size_t except = 0) const;

  std::size_t Count() const { return rows_.size(); }
  SearchEntry& Row(std::size_t position) { return rows_.at(position - 1); }
  const SearchEntry& Row(std::size_t position) const { return rows_.at(position - 1); }
  void Remove(std::size_t position);

 private:
  std::vector<SearchEntry> rows_;
};

// The load's first rows: the nine built-in entries in table order.
void AddBuiltInEntries(SearchList& list);

}  // namespace tarnwick
