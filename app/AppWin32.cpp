// The program's view of itself under Windows: path, directory, name, locale and single instance.
#include "app/AppWin32.h"

#include <windows.h>

#include "app/CommandLine.h"
#include "common/Text.h"

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

namespace {

std::string SystemUpperCase(std::string_view text) {
  std::string result(text);
  if (!result.empty()) CharUpperBuffA(result.data(), static_cast<DWORD>(result.size()));
  return result;
}

}  // namespace

void UseSystemCaseFolding() { SetUpperCaseFunction(&SystemUpperCase); }

InstanceGuard::InstanceGuard() {
  // One mark per executable file and logon session: a copy elsewhere keeps its own list and may run.
  std::string name = "Local\\Tarnwick:" + SystemUpperCase(ExePath());
  for (std::size_t i = 6; i < name.size(); ++i) {
    if (name[i] == '\\') name[i] = '/';
  }
  mutex_ = CreateMutexA(nullptr, FALSE, name.c_str());
  anotherRuns_ = (mutex_ != nullptr && GetLastError() == ERROR_ALREADY_EXISTS);
}

InstanceGuard::~InstanceGuard() {
  if (mutex_ != nullptr) CloseHandle(mutex_);
}

}  // namespace tarnwick
