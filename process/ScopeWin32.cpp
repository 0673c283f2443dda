// Paths for the folder match over Win32: the wide full image path of a process, the long form of a path,
// the check of the folder given, and the system's upper-casing.
#include "process/ScopeWin32.h"

#include <windows.h>

#include "common/GrowBuffer.h"
#include "common/Win32Handles.h"
#include "process/ProcessWin32.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

std::wstring SystemUpperCase(std::wstring_view text) {
  std::wstring upper(text);
  if (!upper.empty()) CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  return upper;
}

}  // namespace

// A member of the process interface, kept here beside the other path rules of the scope.
std::wstring ProcessWin32::FullImagePath(ProcessHandle process) { return FinalPathOf(ImagePathOfProcess(process)); }

std::wstring ImagePathOfProcess(void* process) {
  std::wstring path(MAX_PATH, L'\0');
  // A long path (beyond MAX_PATH) asks for more room; anything else means no name.
  const auto fill = [&](wchar_t* data, std::size_t& size) {
    DWORD length = static_cast<DWORD>(size);
    if (!QueryFullProcessImageNameW(process, 0, data, &length)) {
      return GetLastError() == ERROR_INSUFFICIENT_BUFFER ? Fill::Grow : Fill::Failed;
    }
    size = length;
    return Fill::Done;
  };
  return GrowUntilFits(path, fill, 1 << 16) ? path : std::wstring();
}

void UseSystemPathCaseFolding() { SetWideUpperCaseFunction(&SystemUpperCase); }

std::wstring LongPathForm(const std::wstring& path) {
  if (path.empty()) return path;
  const std::wstring longPath =
      SizedText([&](wchar_t* data, DWORD size) { return GetLongPathNameW(path.c_str(), data, size); });
  return longPath.empty() ? path : longPath;
}

bool ResolveScopeFolder(const std::wstring& given, std::wstring& folder, std::string& problem) {
  if (!IsAbsolutePath(given)) {
    problem = "the folder " + Utf8(given) + " is not a full path (like D:\\Vex)";
    return false;
  }
  const std::wstring full =
      SizedText([&](wchar_t* data, DWORD size) { return GetFullPathNameW(given.c_str(), size, data, nullptr); });
  if (full.empty()) {
    problem = "the folder " + Utf8(given) + " is not a valid path";
    return false;
  }
  const DWORD attributes = GetFileAttributesW(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0) {
    problem = "the folder " + Utf8(given) + (attributes == INVALID_FILE_ATTRIBUTES ? " does not exist" : " is a file");
    return false;
  }
  folder = FinalPathOf(full);
  return true;
}

std::wstring FinalPathOfHandle(void* handle) {
  return Unprefixed(
      SizedText([&](wchar_t* data, DWORD size) { return GetFinalPathNameByHandleW(handle, data, size, 0); }));
}

std::wstring FinalPathOf(const std::wstring& path) {
  if (path.empty()) return path;
  KernelHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  const std::wstring final = file ? FinalPathOfHandle(file.Get()) : std::wstring();
  return final.empty() ? LongPathForm(path) : final;
}

}  // namespace tarnwick
