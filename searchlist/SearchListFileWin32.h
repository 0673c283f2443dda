// The user's entries in "Tarnwick.ini" beside the executable: read within bounds at start, saved at the
// end without ever losing the old list, its owner, its permissions or its links.
#pragma once
#include <windows.h>

#include <string>

#include "searchlist/ListFileSave.h"
#include "searchlist/SearchListFile.h"

namespace tarnwick {

// Hands every entry of the file at `path` that fits the bounds to addEntry, in file order; a missing or
// unreadable file holds none. The result tells what did not fit.
[[nodiscard]] ListReadReport LoadSearchListFile(const std::wstring& path, const AddEntryFunction& addEntry);
// The same from a file already open for reading, from its start: what an elevated run checked is what it reads.
[[nodiscard]] ListReadReport LoadSearchListFile(HANDLE file, const AddEntryFunction& addEntry);

// How a save ended.
struct SearchListSave {
  bool saved = false;     // the file holds the list's user rows
  bool editLost = false;  // not saved, and the file holds other entries than the list: the user must hear of it
  std::string reason;     // why not, in the system's words
};

// Saves the list's user rows to the file at `path` (see SaveListContent for the way it takes). When
// `elevated`, nothing is written through a link or junction found at `path`.
[[nodiscard]] SearchListSave SaveSearchListFile(const std::wstring& path, const SearchList& list, bool elevated);

}  // namespace tarnwick
