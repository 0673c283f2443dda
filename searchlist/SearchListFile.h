// Loading and saving the user's entries over a profile file, written against a small profile
// interface so the rules run the same on the real file and on a fake.
#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "searchlist/SearchList.h"

namespace tarnwick {

inline constexpr const char* kProfileFileName = "Tarnwick.ini";
inline constexpr const char* kImageNameKey = "ImageName";
inline constexpr const char* kDescriptionKey = "Description";

// The profile operations the search list needs, over a profile file held in memory (ProfileImage).
class ProfileAccess {
 public:
  virtual ~ProfileAccess() = default;
  virtual std::vector<std::string> GetSectNames() = 0;
  virtual std::string GetString(std::string section, std::string key, std::string defaultValue) = 0;
  virtual bool WriteString(std::string section, std::string key, std::string value) = 0;
  virtual bool DeleteSection(std::string section) = 0;
};

// The duplicate rule (a name already listed, in any letter case) for many names at once, in constant time
// per name: the rows of a list, then each name added.
class NameSet {
 public:
  explicit NameSet(const SearchList& list);
  // False for a name the set holds already; otherwise the set holds it from now on.
  bool Add(std::string_view imageName);

 private:
  std::unordered_set<std::string> upperCased_;
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

// The bounds of a read of the list file, so that a crafted file can take neither long nor much memory.
inline constexpr std::size_t kMaxListBytes = 1024 * 1024;
inline constexpr std::size_t kMaxListEntries = 10000;
inline constexpr std::size_t kMaxImageNameLength = 260;

// What a bounded read left out of the file; nothing when the whole file fitted.
struct ListReadReport {
  bool CutAtSize = false;          // longer than kMaxListBytes: its first part, to the last whole line, was read
  std::size_t EntriesLeftOut = 0;  // sections past the first kMaxListEntries
  std::size_t NamesTooLong = 0;    // entries whose image name is longer than kMaxImageNameLength
  bool Complete() const { return !CutAtSize && EntriesLeftOut == 0 && NamesTooLong == 0; }
};

// Reads the file's bytes (at most kMaxListBytes of them; `cutAtSize` when the file held more) within the
// bounds, handing every entry that fits to addEntry in file order.
ListReadReport ReadSearchListBytes(std::string_view bytes, bool cutAtSize, const AddEntryFunction& addEntry);

// What a read left out of `fileName`, in one sentence for the window and the log; empty when complete.
std::string DescribeListOverrun(const ListReadReport& report, std::string_view fileName);

// The list file as its reader found it: missing (no entries of the user's), read (its text decoded to
// UTF-8, at most kMaxListBytes of it), or there but not readable, which nothing may then act on or save over.
enum class ListFileStatus { Missing, Read, Unreadable };
struct ListFileText {
  ListFileStatus Status = ListFileStatus::Missing;
  std::string Text;        // UTF-8
  bool CutAtSize = false;  // the file held more than kMaxListBytes
  std::string Reason;      // why unreadable, in the system's words
};

// What the one load of the list found, besides its rows.
struct ListLoad {
  ListFileStatus Status = ListFileStatus::Missing;
  std::string Reason;
  ListReadReport Overrun;
  std::vector<std::string> Duplicates;     // image names listed before, in file order
  std::size_t WithoutImageName = 0;        // sections with no ImageName value: skipped
  std::vector<std::string> NeverMatching;  // kept, but no program's file name can be one of them
  // True when the list in the window is the file's: only then may a save replace the file.
  bool MaySave() const { return Status != ListFileStatus::Unreadable; }
};

// The one load of the list: the nine built-in entries, then the file's entries by the duplicate rule.
// rowAdded, if given, hears of every row appended, in order.
ListLoad LoadList(SearchList& list, const ListFileText& file,
                  const std::function<void(std::size_t position)>& rowAdded = {});

// What the load found that the user should hear of, one sentence each, for the window and the log.
std::vector<std::string> DescribeListLoad(const ListLoad& load, std::string_view fileName);

// True when no program's file name can be `imageName`: it holds a path separator or a wildcard, or
// has no extension.
bool NeverMatches(std::string_view imageName);

// The entries of `oldText` and the lines besides them that a write of `list` leaves out, as one clause
// for the log line of a rewrite; empty when nothing is dropped.
std::string DescribeDropped(const SearchList& list, std::string_view oldText);

// The bytes of a list file holding the list's user rows, as the profile functions would write them
// into an empty file.
std::string SearchListBytes(const SearchList& list);

// True when the bounds leave nothing of the file (or of `text`, as a file) out.
bool ReadsWhole(const ListFileText& file);
bool ReadsWhole(std::string_view text);

// True when the file (or `text`, as a file), read within the bounds, gives other user rows than the list
// holds: a save that fails would then lose an edit.
bool ListDiffersFromFile(const SearchList& list, const ListFileText& file);
bool ListDiffersFromFile(const SearchList& list, std::string_view text);

}  // namespace tarnwick
