// The Linux side of the tests under Wine: Linux programs (xdotool, ImageMagick, a shell) and paths.
#include <windows.h>

#include <algorithm>
#include <iostream>
#include <sstream>

#include "tests/support/Driver.h"

namespace tarnwick::test {

bool StartLinuxProgram(const std::string& linuxPath, const std::string& args) {
  std::string program = "Z:" + linuxPath;
  std::replace(program.begin(), program.end(), '/', '\\');
  std::string commandLine = program + " " + args;
  STARTUPINFOA startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION info{};
  if (!CreateProcessA(nullptr, commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
    return false;
  }
  // For a Linux program Wine hands back no process, and a thread handle that it has closed already:
  // closing that value again can close a handle of this process that has taken the number meanwhile.
  if (info.hProcess != nullptr) {
    CloseHandle(info.hThread);
    CloseHandle(info.hProcess);
  }
  return true;
}

std::string LinuxPath(const std::string& windowsPath) {
  std::string path = windowsPath.substr(windowsPath.rfind(':') + 1);
  std::replace(path.begin(), path.end(), '\\', '/');
  return path;
}

std::string UnixPath(const std::string& windowsPath) {
  // cppcheck-suppress cstyleCast
  using Convert = char*(CDECL*)(const WCHAR*);
  const FARPROC found = GetProcAddress(GetModuleHandleA("kernel32.dll"), "wine_get_unix_file_name");
  const auto convert = reinterpret_cast<Convert>(reinterpret_cast<void*>(found));
  if (convert == nullptr) return LinuxPath(windowsPath);
  std::wstring wide(windowsPath.size() + 1, L'\0');
  MultiByteToWideChar(CP_ACP, 0, windowsPath.c_str(), -1, wide.data(), static_cast<int>(wide.size()));
  char* unix = convert(wide.c_str());
  if (unix == nullptr) return LinuxPath(windowsPath);
  std::string path = unix;
  HeapFree(GetProcessHeap(), 0, unix);
  return path;
}

std::string WineCommand() {
#ifdef _WIN64
  return "env WINELOADER=/usr/lib/wine/wine64 /usr/lib/wine/wine64";
#else
  return "wine";
#endif
}

bool LinuxShell::Run(const std::string& script, std::string* output) {
  const std::string out = scratch_.File("out-" + std::to_string(++runs_) + ".txt");
  const std::string unixOut = UnixPath(out);
  EXPECT_EQ(script.find_first_of("\"\\"), std::string::npos) << script;
  const std::string args =
      "-c \"(" + script + ") >" + unixOut + ".part 2>/dev/null; mv " + unixOut + ".part " + unixOut + "\"";
  if (!StartLinuxProgram("/bin/sh", args) || !WaitUntil([&] { return FileExists(out); }, 20000ms)) {
    ADD_FAILURE() << "no end of: " << script;
    return false;
  }
  if (output != nullptr) *output = ReadFile(out);
  DeleteFileA(out.c_str());
  return true;
}

bool LinuxShell::Input(const std::string& script, const std::function<bool()>& effect, const std::string& retry) {
  if (Run(script) && WaitUntil(effect, 5000ms)) return true;
  std::cerr << "[ scenario ] no effect yet, input again: " << (retry.empty() ? script : retry) << "\n";
  return Run(retry.empty() ? script : retry) && WaitUntil(effect, 15000ms);
}

bool SaveScreenshot(const RECT& area, const std::string& windowsPath, std::chrono::milliseconds timeout) {
  // Written under another name and renamed, so that the file appears only once it is whole.
  const std::string target = LinuxPath(windowsPath);
  std::ostringstream script;
  script << "-c \"import -window root -crop " << area.right - area.left << "x" << area.bottom - area.top << "+"
         << area.left << "+" << area.top << " +repage " << target << ".part.png && mv " << target << ".part.png "
         << target << "\"";
  DeleteFileA(windowsPath.c_str());
  return StartLinuxProgram("/bin/sh", script.str()) && WaitUntil([&] { return FileExists(windowsPath); }, timeout);
}

}  // namespace tarnwick::test
