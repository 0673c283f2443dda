// A profile (INI) file held in memory and read and written by the rules of the Win32 profile functions,
// so that the list file is read in one bounded pass and written in one piece through one handle.
#pragma once
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "searchlist/SearchListFile.h"

namespace tarnwick {

class ProfileImage final : public ProfileAccess {
 public:
  ProfileImage() = default;
  // Reads the file's text (UTF-8) as the profile functions do: lines end at CR or LF, blanks around
  // lines, names and values go, "[name]" runs to the line's last "]", a line without "=" is a key
  // without a value. Named sections past maxSections are counted, not kept.
  static ProfileImage Parse(std::string_view bytes, std::size_t maxSections = static_cast<std::size_t>(-1));

  std::vector<std::string> GetSectNames() override;
  // Names match without regard to case and blanks around them; the first section and key of a name
  // count; one pair of quotes around a value is dropped.
  std::string GetString(std::string section, std::string key, std::string defaultValue) override;
  bool WriteString(std::string section, std::string key, std::string value) override;
  bool DeleteSection(std::string section) override;

  // The file as the profile functions write it: "[name]" and "key=value" lines, each ending in CR LF.
  std::string Bytes() const;
  // Named sections that Parse found past its bound.
  std::size_t SectionsLeftOut() const { return sectionsLeftOut_; }

 private:
  struct Key {
    std::string name;
    std::optional<std::string> value;
  };
  struct Section {
    std::string name;
    std::vector<Key> keys;
  };
  Section* Find(std::string_view name);
  void Index(std::size_t position);

  std::vector<Section> sections_;
  std::unordered_map<std::string, std::size_t> firstOfName_;  // upper-cased name -> first such section
  std::size_t sectionsLeftOut_ = 0;
};

}  // namespace tarnwick
