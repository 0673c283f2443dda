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

// A row's flags: element 0 is BuiltIn, element 1 is InRunningList; an element never written is empty.
using FlagRecord = std::array<std::optional<bool>, 2>;
inline constexpr std::int32_t kFlagBuiltIn = 0;
inline constexpr std::int32_t kFlagInRunningList = 1;

// Throw std::out_of_range for an index other than 0 or 1.
void SetEntryFlag(FlagRecord& record, std::int32_t index, bool value);
std::optional<bool> GetEntryFlag(const FlagRecord& record, std::int32_t index);
// An empty element counts as false wherever a flag is tested.
inline bool IsSet(std::optional<bool> flag) { return flag.value_or(false); }

inline constexpr std::uint32_t kBuiltInColour = 0x00FF0000;  // blue, as a Windows COLORREF

struct SearchEntry {
  std::string ImageName;
  std::string Description;
  FlagRecord Flags;
  std::optional<std::uint32_t> TextColour;  // empty: the list's default colour
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
  NewImage,   // the row now names another image: its running line and running flag no longer hold
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

  // Gives the row at `position` new texts unless another row has the name. A new image clears the
  // row's InRunningList; the caller takes the row's line out of the running list.
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

// The load's first rows: the nine built-in entries in table order, then every row the list holds at
// that point (exactly those) coloured blue.
void AddBuiltInEntries(SearchList& list);

}  // namespace tarnwick
