// Loading and saving the user's entries over a profile file, written against a small profile
// interface so the rules run the same on the real file and on a fake.
#pragma once
#include <functional>
#include <string>
#include <vector>

#include "searchlist/SearchList.h"

namespace tarnwick {

inline constexpr const char* kProfileFileName = "Tarnwick.ini";
inline constexpr const char* kImageNameKey = "ImageName";
inline constexpr const char* kDescriptionKey = "Description";

// The profile operations the search list needs; clsProfile provides them over the Win32 functions.
class ProfileAccess {
 public:
  virtual ~ProfileAccess() = default;
  virtual std::vector<std::string> GetSectNames() = 0;
  virtual std::string GetString(std::string section, std::string key, std::string defaultValue) = 0;
  virtual bool WriteString(std::string section, std::string key, std::string value) = 0;
  virtual bool DeleteSection(std::string section) = 0;
};

// Receives each stored entry in file order; the window's AddSearchEntry refuses duplicates with its message.
using AddEntryFunction = std::function<void(const std::string& imageName, const std::string& description)>;

// Every section gives one entry: its name only finds it, the image name is its "ImageName" value.
void ReadSearchList(ProfileAccess& profile, const AddEntryFunction& addEntry);

// Empties the profile of sections, then writes one section per user row in list order.
// True when the platform reported every write done.
bool WriteSearchList(ProfileAccess& profile, const SearchList& list);

// True when the list holds a row the file would keep.
bool HasUserRows(const SearchList& list);

}  // namespace tarnwick
