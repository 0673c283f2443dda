// The user's entries in "Tarnwick.ini" beside the executable: loaded at start, saved safely at the end.
#pragma once
#include <functional>
#include <string>

#include "searchlist/SearchListFile.h"

namespace tarnwick {

// Hands every stored entry of the file at `path` to addEntry, in file order. A missing file holds none.
void LoadSearchListFile(const std::string& path, const AddEntryFunction& addEntry);

// The last step of a save: puts the finished file `from` in the place of `to` in one step.
using ReplaceStep = std::function<bool(const std::string& from, const std::string& to)>;
bool ReplaceInOneStep(const std::string& from, const std::string& to);

// Writes the complete new file beside the old one (path + ".new") and only then replaces the old,
// so that an interruption at any point leaves a whole file behind. Failures are silent; the result
// tells whether the file at `path` now holds the list.
bool SaveSearchListFile(const std::string& path, const SearchList& list, const ReplaceStep& replace = ReplaceInOneStep);

}  // namespace tarnwick
