// The search list's rows; the window renders them and asks the user about duplicates.
#include "searchlist/SearchList.h"

#include <stdexcept>

#include "common/Text.h"

namespace tarnwick {

const std::array<BuiltInEntry, 9> kBuiltInEntries = {{
    {"Vex.exe", "Vex Engine"},
    {"VexSQL.exe", "VexSQL Engine"},
    {"VexOPC.exe", "OPC Server"},
    {"VexUPnP.exe", "UPnP Device"},
    {"QuilListener.exe", "Quil Gateway"},
    {"GwVexpCorba.exe", "CORBA Gateway"},
    {"VexScript.exe", "VexScript"},
    {"VexScrMan.exe", "VexScript Manager"},
    {"Tallyboard.exe", "VexScript Panel"},
}};

std::optional<EntryTexts> EntryFromDialog(std::string_view imageName, std::string_view description) {
  const std::string_view name = TrimBlanks(imageName);
  if (name.empty()) return std::nullopt;
  return EntryTexts{std::string(name), std::string(TrimBlanks(description))};
}

bool SearchList::AddSearchEntry(std::string imageName, std::string description, bool builtIn) {
  if (FindName(imageName) != 0) return false;
  rows_.push_back({.ImageName = std::move(imageName), .Description = std::move(description), .BuiltIn = builtIn});
  return true;
}

void SearchList::AppendCheckedUserRow(std::string imageName, std::string description) {
  rows_.push_back({.ImageName = std::move(imageName), .Description = std::move(description), .BuiltIn = false});
}

EditOutcome SearchList::EditSearchEntry(std::size_t position, std::string imageName, std::string description) {
  SearchEntry& row = Row(position);
  if (FindName(imageName, position) != 0) return EditOutcome::Duplicate;
  const bool sameImage = EqualsNoCase(row.ImageName, imageName);
  row.ImageName = std::move(imageName);
  row.Description = std::move(description);
  return sameImage ? EditOutcome::SameImage : EditOutcome::NewImage;
}

std::size_t SearchList::FindName(std::string_view imageName, std::size_t except) const {
  for (std::size_t i = 1; i <= rows_.size(); ++i) {
    if (i != except && EqualsNoCase(rows_[i - 1].ImageName, imageName)) return i;
  }
  return 0;
}

void SearchList::Remove(std::size_t position) {
  if (position < 1 || position > rows_.size()) throw std::out_of_range("row position");
  rows_.erase(rows_.begin() + static_cast<std::ptrdiff_t>(position - 1));
}

void AddBuiltInEntries(SearchList& list) {
  for (const BuiltInEntry& entry : kBuiltInEntries) list.AddSearchEntry(entry.ImageName, entry.Description, true);
}

}  // namespace tarnwick
