// Loading and the safe save of "Tarnwick.ini" through clsProfile.
#include "searchlist/SearchListFileWin32.h"

#include <windows.h>

#include "common/Win32Handles.h"
#include "searchlist/clsProfile.h"

namespace tarnwick {
namespace {

// An empty file to write into: the profile functions then only ever see the sections we write.
bool CreateEmptyFile(const std::string& path) {
  const KernelHandle file(
      CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr));
  return static_cast<bool>(file);
}

// The profile functions write through the system cache: the new file's bytes go to the disk before
// the rename makes it the list, so a power cut cannot leave a renamed but empty file.
void FlushToDisk(const std::string& path) {
  const KernelHandle file(CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                      OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (file) FlushFileBuffers(file.Get());
}

}  // namespace

void LoadSearchListFile(const std::string& path, const AddEntryFunction& addEntry) {
  clsProfile profile(path);
  ReadSearchList(profile, addEntry);
}

bool ReplaceInOneStep(const std::string& from, const std::string& to) {
  return MoveFileExA(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != FALSE;
}

bool SaveSearchListFile(const std::string& path, const SearchList& list, const ReplaceStep& replace) {
  const DWORD attributes = GetFileAttributesA(path.c_str());
  const bool exists = attributes != INVALID_FILE_ATTRIBUTES;
  // Nothing to keep and no file to empty: the save leaves no file behind, as before it.
  if (!HasUserRows(list) && !exists) return true;
  // A read-only file stays as the profile functions would leave it (a rename would not ask).
  if (exists && (attributes & FILE_ATTRIBUTE_READONLY)) return false;

  const std::string newPath = path + ".new";
  if (!CreateEmptyFile(newPath)) return false;
  bool written = false;
  {
    clsProfile profile(newPath);
    written = WriteSearchList(profile, list);
  }  // the release flushes the profile functions' cached state of the new file
  FlushToDisk(newPath);

  if (written && replace(newPath, path)) return true;
  // A half-written or unplaceable file must not linger beside the good one.
  DeleteFileA(newPath.c_str());
  return false;
}

}  // namespace tarnwick
