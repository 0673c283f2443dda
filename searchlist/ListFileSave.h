// The save of the list file, written against the few file steps it takes, so that its choice of way
// (a new file swapped in, or a write in place) is tested on a fake and runs on the real file alike.
#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

namespace tarnwick {

// The list file as the save found it, from the one handle it opened.
struct ListFileState {
  bool Exists = false;
  bool Readable = false;      // Content holds the whole file
  bool Writable = false;      // the handle may write: a write in place is possible
  bool FollowedLink = false;  // reached through a symbolic link the user placed: written in place, so it holds
  bool ForeignLink = false;   // a link, junction or hard-linked file that an elevated run must not write through
  std::uint32_t Links = 1;    // hard Links: more than one is written in place, so that all of them see it
  std::string Content;
  std::string Reason;  // why it could not be opened for writing, where it could not
};

// One file step: done, or why not in the system's words.
struct FileStep {
  bool Done = false;
  std::string Reason;
};

// The steps; the real ones act on "Tarnwick.ini" and "Tarnwick.ini.new" beside it.
class ListFileSystem {
 public:
  virtual ~ListFileSystem() = default;
  virtual ListFileState Open() = 0;
  // The whole new content into a new file beside the list (never through anything found there), flushed.
  [[nodiscard]] virtual FileStep WriteBeside(std::string_view content) = 0;
  // The new file in the list's place, keeping the list's owner, permissions and attributes; or, with no
  // list yet, the new file becomes it.
  [[nodiscard]] virtual FileStep PutBesideInPlace(bool listExists) = 0;
  virtual void RemoveBeside() = 0;
  // Writes content over the opened list and ends the file there, flushed.
  [[nodiscard]] virtual FileStep WriteInPlace(std::string_view content) = 0;
};

enum class SaveWay { Nothing, NewFile, InPlace };

struct ListSaveResult {
  bool Saved = false;  // the file holds the content now (or held it already)
  SaveWay Way = SaveWay::Nothing;
  std::string Reason;  // why not, when not Saved
  // The file as it was, for the caller's question whether an edit is lost.
  std::string OldContent;
};

// Writes `content` as the list file: a new file beside it swapped in where the folder lets it be made,
// else in place where the file may be written (keeping the old content to put back should the write
// fail); in place always for a file with more than one hard link. A file that already holds the content
// (the same bytes, or old content that `holdsContent` accepts) is left alone; with no file and nothing
// to keep, none is made.
[[nodiscard]] ListSaveResult SaveListContent(ListFileSystem& files, const std::string& content,
                                             const std::function<bool(std::string_view old)>& holdsContent = {});

}  // namespace tarnwick
