// The real seams of a run: the system clock, the service manager, the log file with its rotation, a
// redirected standard output, and the debug privilege.
#include "app/RunWin32.h"

#include <windows.h>

#include "app/AppWin32.h"
#include "common/Win32Handles.h"
#include "process/ProcessWin32.h"
#include "process/ServiceWin32.h"
#include "process/WindowWin32.h"
#include "searchlist/SearchListFileWin32.h"

namespace tarnwick {
namespace {

bool gDebugPrivilege = false;

class SystemClock final : public Clock {
 public:
  std::uint64_t NowMs() override { return GetTickCount64(); }
  void Sleep(std::uint32_t ms) override { ::Sleep(ms); }
  LocalTime Local() override {
    FILETIME utc{};
    FILETIME local{};
    GetSystemTimeAsFileTime(&utc);
    FileTimeToLocalFileTime(&utc, &local);
    SYSTEMTIME t{};
    FileTimeToSystemTime(&local, &t);
    const auto ticks = [](const FILETIME& f) {
      return static_cast<long long>((static_cast<unsigned long long>(f.dwHighDateTime) << 32) | f.dwLowDateTime);
    };
    const int offset = static_cast<int>((ticks(local) - ticks(utc)) / 600000000LL);  // 100 ns ticks to minutes
    return {t.wYear, t.wMonth, t.wDay, t.wHour, t.wMinute, t.wSecond, t.wMilliseconds, offset};
  }
};

// Each line is appended to the log as it comes, so that a long run leaves its trace even if it is cut
// short; a folder that cannot be written means no log, and the run goes on.
class RunLog final : public LineSink {
 public:
  RunLog() : path_(AppDirectory() + kLogFileName) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    // Only a file or a pipe the caller handed over: no console is attached or created.
    const DWORD type = (out != nullptr && out != INVALID_HANDLE_VALUE) ? GetFileType(out) : FILE_TYPE_UNKNOWN;
    stdout_ = (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) ? out : nullptr;
  }

  void WriteLine(const std::string& text) override {
    const std::string line = text + "\r\n";
    Append(line);
    DWORD written = 0;
    if (stdout_ != nullptr) WriteFile(stdout_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }

 private:
  KernelHandle OpenLog() const {
    return KernelHandle(CreateFileA(path_.c_str(), FILE_APPEND_DATA,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr));
  }

  void Append(const std::string& line) const {
    KernelHandle log = OpenLog();
    if (!log) return;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(log.Get(), &size) && size.QuadPart > 0 &&
        static_cast<unsigned long long>(size.QuadPart) + line.size() > kMaxLogBytes) {
      log.Reset();
      MoveFileExA(path_.c_str(), (path_ + ".1").c_str(), MOVEFILE_REPLACE_EXISTING);
      log = OpenLog();
      if (!log) return;
    }
    DWORD written = 0;
    WriteFile(log.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }

  std::string path_;
  HANDLE stdout_ = nullptr;
};

// The seams of one run; the service manager is opened only if a listed process is found.
struct Seams {
  ProcessWin32 processes;
  ServiceWin32 services;
  SystemClock clock;
  WindowWin32 windows;
  EndSeams Get() { return {.Processes = processes, .Services = services, .Time = clock, .Windows = &windows}; }
};

RunInfo ThisRun() {
  return {ExeName() + ".exe", GetCurrentProcessId(),
          gDebugPrivilege ? "debug privilege enabled" : "debug privilege not held: not an elevated administrator"};
}

}  // namespace

bool EnableDebugPrivilege() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  KernelHandle token(raw);
  TOKEN_PRIVILEGES privileges{};
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  if (!LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &privileges.Privileges[0].Luid)) return false;
  // Succeeds even for a privilege the token lacks; then it reports ERROR_NOT_ALL_ASSIGNED.
  gDebugPrivilege =
      AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr) && GetLastError() == ERROR_SUCCESS;
  return gDebugPrivilege;
}

std::vector<std::string> ListedImages() {
  SearchList list;
  for (const BuiltInEntry& entry : kBuiltInEntries) list.AddSearchEntry(entry.ImageName, entry.Description, true);
  LoadSearchListFile(ProfilePath(), [&list](const std::string& imageName, const std::string& description) {
    list.AddSearchEntry(imageName, description, false);
  });
  std::vector<std::string> names;
  for (std::size_t i = 1; i <= list.Count(); ++i) names.push_back(list.Row(i).ImageName);
  return names;
}

int RunSwitchNow(RunSwitch runSwitch, const std::vector<std::string>& images, const RunOptions& options) {
  Seams seams;
  RunLog log;
  return RunUnattended(runSwitch, images, seams.Get(), log, ThisRun(), options);
}

int RefuseBadCommandLine(RunSwitch runSwitch, const std::string& problem) {
  SystemClock clock;
  RunLog log;
  return RefuseCommandLine(runSwitch, clock, log, ThisRun(), problem);
}

int RefuseSwitch(RunSwitch runSwitch) {
  SystemClock clock;
  RunLog log;
  return RefuseUnattended(runSwitch, clock, log, ThisRun());
}

std::string EndFromWindow(const std::vector<std::string>& images, const KeepAlive& whileWaiting,
                          const EndLimits& limits) {
  Seams seams;
  RunLog log;
  return TerminateFromWindow(images, seams.Get(), log, whileWaiting, limits);
}

}  // namespace tarnwick
