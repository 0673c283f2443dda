// A run limited to one folder: program paths compared the way Windows compares them (letter case,
// prefixes, slashes, a trailing backslash), so that "D:\Vex" holds "D:\Vex\bin\Vex.exe" but never
// "D:\Vex2\Vex.exe" or "D:\Vex Old\Vex.exe".
#pragma once
#include <string>
#include <string_view>

#include "process/FindProcess.h"

namespace tarnwick {

// The path with backslashes only and without the prefixes that only switch off the parsing of a path:
// "\\?\C:\Vex" gives "C:\Vex", "\\?\UNC\server\share" gives "\\server\share".
std::wstring Unprefixed(std::wstring_view path);

// The path in one form for comparing: backslashes only, no "\\?\" or "\??\" prefix (a "\\?\UNC\" one
// becomes "\\"), no repeated or trailing backslash, upper case. "\\?\d:/Vex\" gives "D:\VEX".
std::wstring NormalisedPath(std::wstring_view path);

// "D:\..." or a UNC path ("\\server\share\..."), with or without "\\?\"; "D:Vex", "\Vex" and "Vex" depend
// on the current folder and are not.
bool IsAbsolutePath(std::wstring_view path);

// True when the file lies in the folder or below it. An empty path lies nowhere.
bool LiesIn(std::wstring_view path, std::wstring_view folder);

// With a scope: whether the opened process's program file lies in it. Without one: true.
bool InScope(ProcessApi& api, ProcessHandle process, std::wstring_view scope);

// With a scope: true only when the program file of a process that could not be opened to end it is
// known (read with the least rights) and lies outside, so that its failure is none of this run's business.
bool OutsideScope(ProcessApi& api, ProcessId id, std::wstring_view scope);

// Upper-casing of paths: ASCII by default; the Windows program installs the file system's own.
using WideUpperCaseFunction = std::wstring (*)(std::wstring_view);
void SetWideUpperCaseFunction(WideUpperCaseFunction function);

// The text in UTF-8, for a log line.
std::string Utf8(std::wstring_view text);

}  // namespace tarnwick
