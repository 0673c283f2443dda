// The user's entries in "Tarnwick.ini" beside the executable: read within bounds at start, saved at the
// end without ever losing the old list, its owner, its permissions or its links.
#pragma once
#include <windows.h>

#include <string>

#include "searchlist/ListFileSave.h"
#include "searchlist/SearchListFile.h"

namespace tarnwick {

// The list file's text: missing, read (within kMaxListBytes, decoded to UTF-8), or unreadable with the
// system's reason. A file held without sharing is tried again for about 2 s before it counts as unreadable.
[[nodiscard]] ListFileText ReadSearchListFile(const std::wstring& path);
// The same from a handle opened (and checked) by the caller, read from its start: what an elevated run
// checked is what it reads.
[[nodiscard]] ListFileText ReadSearchListFile(HANDLE file);

// How a save ended.
struct SearchListSave {
  bool Saved = false;     // the file holds the list's user rows
  bool EditLost = false;  // not Saved, and the file holds other entries than the list: the user must hear of it
  std::string Reason;     // why not, in the system's words
  std::string Dropped;    // a rewrite: what of the old file it left out (DescribeDropped), for the log
};

// Saves the list's user rows to the file at `path` (see SaveListContent for the way it takes). When
// `elevated`, nothing is written through a link or junction found at `path`.
[[nodiscard]] SearchListSave SaveSearchListFile(const std::wstring& path, const SearchList& list, bool elevated);

}  // namespace tarnwick
