// The Win32 side of a scoped run: the folder named on the command line checked and turned into the form
// that process paths are compared in, and the file system's upper-casing for the comparison.
#pragma once
#include <string>

namespace tarnwick {

// Installs the system's upper-casing of paths (CharUpperBuffW) for the folder match.
void UseSystemPathCaseFolding();

// The folder as an absolute, full, long path (no "..", no 8.3 short names). False with the reason when it
// is relative or does not exist as a folder.
[[nodiscard]] bool ResolveScopeFolder(const std::wstring& given, std::wstring& folder, std::string& problem);

// The path with every 8.3 short name spelt out (GetLongPathNameW); unchanged where that fails.
std::wstring LongPathForm(const std::wstring& path);

}  // namespace tarnwick
