// The real seams of a run: the system clock, the service manager, the log file with its rotation, a
// redirected standard output, and the debug privilege for the pass.
#include "app/RunWin32.h"

#include <windows.h>

#include "app/AppWin32.h"
#include "common/WideTextWin32.h"
#include "common/Win32Handles.h"
#include "process/HoldersWin32.h"
#include "process/PrivilegeWin32.h"
#include "process/ProcessWin32.h"
#include "process/ServiceWin32.h"
#include "process/WindowWin32.h"
#include "searchlist/SearchListFileWin32.h"

namespace tarnwick {
namespace {

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
// short; a folder that cannot be written means no log, and the run goes on. An elevated run writes
// nothing through a link or junction found in the log's place.
class RunLog final : public LineSink {
 public:
  // Without toFile the lines go to standard output alone: the log failed the trust check.
  explicit RunLog(bool toFile = true)
      : path_(AppDirectory() + kLogFileName), elevated_(RunsElevated()), toFile_(toFile) {
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    // Only a file or a pipe the caller handed over: no console is attached or created.
    const DWORD type = (out != nullptr && out != INVALID_HANDLE_VALUE) ? GetFileType(out) : FILE_TYPE_UNKNOWN;
    stdout_ = (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE) ? out : nullptr;
  }

  void WriteLine(const std::string& text) override {
    const std::string line = text + "\r\n";
    if (toFile_) Append(line);
    DWORD written = 0;
    if (stdout_ != nullptr) WriteFile(stdout_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }

 private:
  KernelHandle OpenLog() const {
    KernelHandle log(CreateFileW(path_.c_str(), FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | (elevated_ ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (log && elevated_ &&
        (!GetFileInformationByHandle(log.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT))) {
      log.Reset();
    }
    return log;
  }

  void Append(const std::string& line) const {
    KernelHandle log = OpenLog();
    if (!log) return;
    LARGE_INTEGER size{};
    if (GetFileSizeEx(log.Get(), &size) && size.QuadPart > 0 &&
        static_cast<unsigned long long>(size.QuadPart) + line.size() > kMaxLogBytes) {
      log.Reset();
      // A rename moves a link itself, never what it points to.
      MoveFileExW(path_.c_str(), (path_ + L".1").c_str(), MOVEFILE_REPLACE_EXISTING);
      log = OpenLog();
      if (!log) return;
    }
    DWORD written = 0;
    WriteFile(log.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }

  std::wstring path_;
  bool elevated_ = false;
  bool toFile_ = true;
  HANDLE stdout_ = nullptr;
};

// The seams of one run; the service manager is opened only if a listed process is found.
struct Seams {
  ProcessWin32 processes;
  ServiceWin32 services;
  SystemClock clock;
  DebugPrivilegeWin32 rights;
  WindowWin32 windows;
  HoldersWin32 holders;
  EndSeams Get() {
    return {.Processes = processes, .Services = services, .Time = clock, .Windows = &windows, .Holders = &holders};
  }
};

// The run's note is the trust check's warning; with rights, the pass holds the debug privilege.
RunInfo ThisRun(const TrustCheck& trust, PrivilegeApi* rights = nullptr) {
  DWORD session = 0;
  return {.ExeImage = ExeName() + ".exe",
          .OwnId = GetCurrentProcessId(),
          .OwnSession = ProcessIdToSessionId(GetCurrentProcessId(), &session) ? session : kUnknownSession,
          .StartNote = trust.Warning,
          .Rights = rights};
}

}  // namespace

std::vector<std::string> ListedImages() {
  SearchList list;
  for (const BuiltInEntry& entry : kBuiltInEntries) list.AddSearchEntry(entry.ImageName, entry.Description, true);
  NameSet listed(list);
  const ListReadReport report =
      LoadSearchListFile(ProfilePath(), [&](const std::string& imageName, const std::string& description) {
        if (listed.Add(imageName)) list.AppendCheckedUserRow(imageName, description);
      });
  if (!report.Complete()) WriteNoteLine("list", "list not read whole", DescribeListOverrun(report, kProfileFileName));
  std::vector<std::string> names;
  for (std::size_t i = 1; i <= list.Count(); ++i) names.push_back(list.Row(i).ImageName);
  return names;
}

void WriteNoteLine(std::string_view source, std::string_view what, std::string_view why) {
  SystemClock clock;
  RunLog log;
  const RunInfo info = ThisRun({});
  log.WriteLine(LogLine(clock.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, what, why));
}

int RunSwitchNow(RunSwitch runSwitch, const std::vector<std::string>& images, const TrustCheck& trust,
                 const RunOptions& options) {
  Seams seams;
  RunLog log(trust.LogTrusted);
  return RunUnattended(runSwitch, images, seams.Get(), log, ThisRun(trust, &seams.rights), options);
}

int RefuseUntrustedSwitch(RunSwitch runSwitch, const TrustCheck& trust) {
  SystemClock clock;
  RunLog log(trust.LogTrusted);
  return RefuseUntrusted(runSwitch, clock, log, ThisRun(trust));
}

int RefuseBadCommandLine(RunSwitch runSwitch, const std::string& problem) {
  SystemClock clock;
  RunLog log;
  return RefuseCommandLine(runSwitch, clock, log, ThisRun({}), problem);
}

int RefuseSwitch(RunSwitch runSwitch) {
  SystemClock clock;
  RunLog log;
  return RefuseUnattended(runSwitch, clock, log, ThisRun({}));
}

void LogStartFailure(const std::string& why) noexcept {
  try {
    SystemClock clock;
    RunLog log;
    const RunInfo info = ThisRun({});
    log.WriteLine(LogLine(clock.Local(), "start", info.ExeImage, info.OwnId, info.OwnSession, "could not start",
                          "exit code 3: " + why));
  } catch (...) {
    // Nowhere left to tell it.
  }
}

std::string EndFromWindow(const std::vector<std::string>& images, const KeepAlive& whileWaiting,
                          const EndLimits& limits) {
  Seams seams;
  RunLog log;
  const PrivilegeScope rights(&seams.rights);  // for this pass only
  return TerminateFromWindow(images, seams.Get(), log, whileWaiting, limits);
}

}  // namespace tarnwick
