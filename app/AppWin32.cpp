// The program's view of itself under Windows: path, directory, name, locale and single instance.
#include "app/AppWin32.h"

#include <windows.h>

#include <cstdint>

#include "app/CommandLine.h"
#include "common/Text.h"
#include "searchlist/SearchListFile.h"

namespace tarnwick {

bool AutoMode = false;

std::string ExePath() {
  std::string path(MAX_PATH, '\0');
  for (;;) {
    const DWORD n = GetModuleFileNameA(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);  // a long path was cut: try again with room for it
  }
}

std::string AppDirectory() {
  const std::string path = ExePath();
  const std::size_t slash = path.rfind('\\');
  return AppDirectoryFrom(slash == std::string::npos ? std::string() : path.substr(0, slash));
}

std::string ExeName() { return ExeBaseName(ExePath()); }

std::string ProfilePath() { return AppDirectory() + kProfileFileName; }

namespace {

std::string SystemUpperCase(std::string_view text) {
  std::string result(text);
  if (!result.empty()) CharUpperBuffA(result.data(), static_cast<DWORD>(result.size()));
  return result;
}

}  // namespace

void UseSystemCaseFolding() { SetUpperCaseFunction(&SystemUpperCase); }

namespace {

// A name of fixed length for a folder of any length (a mutex name is limited to MAX_PATH characters):
// FNV-1a over the upper-cased path, so that C:\Tools and c:\tools are one folder.
std::string FolderMarkName(const std::string& directory) {
  std::uint64_t hash = 14695981039346656037ull;
  for (const unsigned char c : SystemUpperCase(directory)) {
    hash ^= c;
    hash *= 1099511628211ull;
  }
  char text[17];
  wsprintfA(text, "%08lX%08lX", static_cast<unsigned long>(hash >> 32), static_cast<unsigned long>(hash));
  return "Tarnwick-" + std::string(text) + "-" + std::to_string(directory.size());
}

}  // namespace

InstanceGuard::InstanceGuard() {
  // One mark per folder, for every session: a scheduled run as another user shares the list file too.
  const std::string name = FolderMarkName(AppDirectory());
  mutex_.Reset(CreateMutexA(nullptr, FALSE, ("Global\\" + name).c_str()));
  DWORD error = GetLastError();
  if (!mutex_ && error == ERROR_ACCESS_DENIED) {
    anotherRuns_ = true;  // another user's Tarnwick holds the mark and keeps it to itself
    return;
  }
  if (!mutex_) {
    mutex_.Reset(CreateMutexA(nullptr, FALSE, ("Local\\" + name).c_str()));
    error = GetLastError();
  }
  anotherRuns_ = (mutex_ && error == ERROR_ALREADY_EXISTS);
}

InstanceGuard::~InstanceGuard() = default;

void InstanceGuard::Release() { mutex_.Reset(); }

}  // namespace tarnwick
