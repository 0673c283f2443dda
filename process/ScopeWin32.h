// The Win32 side of a scoped run: the folder named on the command line checked and turned into the form
// that process paths are compared in, and the file system's upper-casing for the comparison.
#pragma once
#include <string>

namespace tarnwick {

// Installs the system's upper-casing of paths (CharUpperBuffW) for the folder match.
void UseSystemPathCaseFolding();

// The folder as an absolute, full, final path (no "..", no 8.3 short names, no link). False with the reason when it
// is relative or does not exist as a folder.
[[nodiscard]] bool ResolveScopeFolder(const std::wstring& given, std::wstring& folder, std::string& problem);

// The path with every 8.3 short name spelt out (GetLongPathNameW); unchanged where that fails.
std::wstring LongPathForm(const std::wstring& path);

// The image path of an open process (QueryFullProcessImageNameW), however long; empty where it cannot be had.
std::wstring ImagePathOfProcess(void* process);

// The path of an open file or folder as the file system resolves it (GetFinalPathNameByHandleW: through
// links, substituted drives and short names), without "\\?\"; empty where it cannot be had.
std::wstring FinalPathOfHandle(void* handle);
// The same for a path, opened with no access at all; its long form where it cannot be opened. Two names
// of one file give one final path: the scope compares these.
std::wstring FinalPathOf(const std::wstring& path);

}  // namespace tarnwick
