// The real seams of a run: the system clock, the service manager, the log file with its rotation, a
// redirected standard output, and the debug privilege for the pass.
#include "app/RunWin32.h"

#include <windows.h>

#include <cstdio>

#include "app/AppWin32.h"
#include "app/EventLogWin32.h"
#include "app/RunJson.h"
#include "common/WideTextWin32.h"
#include "common/Win32Handles.h"
#include "process/PrivilegeWin32.h"
#include "process/ProcessWin32.h"
#include "process/ServiceWin32.h"
#include "process/WindowWin32.h"
#include "searchlist/SearchListFileWin32.h"

namespace tarnwick {
namespace {

bool& StandardOutputJson() {
  static bool json = false;
  return json;
}

// Text as a console tool writes it: in the console's output code page, else the OEM one, which is how
// cmd and PowerShell read a program's output.
std::string ConsoleText(const std::string& utf8) {
  const std::wstring wide = WideFromUtf8(utf8);
  UINT codePage = GetConsoleOutputCP();
  if (codePage == 0) codePage = GetOEMCP();
  const int size =
      WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) {
    WideCharToMultiByte(codePage, 0, wide.data(), static_cast<int>(wide.size()), text.data(), size, nullptr, nullptr);
  }
  return text;
}

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
    // Only a file, a pipe or a console the caller handed over (Tarnwick.com hands over its own): no console
    // is created. A console is written in Unicode.
    const DWORD type = (out != nullptr && out != INVALID_HANDLE_VALUE) ? GetFileType(out) : FILE_TYPE_UNKNOWN;
    DWORD mode = 0;
    console_ = type == FILE_TYPE_CHAR &&
               (GetConsoleMode(out, &mode) || (AttachConsole(ATTACH_PARENT_PROCESS) && GetConsoleMode(out, &mode)));
    stdout_ = (type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE || console_) ? out : nullptr;
  }

  // A line outside a run's entries: with JSON on standard output, the log alone has it.
  void WriteLine(const std::string& text) override {
    if (toFile_) Append(text + "\r\n");
    if (!StandardOutputJson()) WriteOut(text);
  }

  void Write(const RunEntry& entry) override {
    const std::string text = TextLine(entry);
    if (toFile_) Append(text + "\r\n");
    WriteOut(StandardOutputJson() ? JsonLine(entry) : text);
    events_.Report(entry);
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

  // A line of UTF-8 (JSON is ASCII, the same in every code page).
  void WriteOut(const std::string& text) const {
    if (stdout_ == nullptr) return;
    DWORD written = 0;
    if (console_) {
      const std::wstring line = WideFromUtf8(text) + L"\r\n";
      WriteConsoleW(stdout_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      return;
    }
    const std::string line = ConsoleText(text) + "\r\n";
    WriteFile(stdout_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
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
  bool console_ = false;
  EventReporter events_;
};

// One id for every record of this process's run: its start time and process id, which no other run on
// the machine shares.
std::string RunId() {
  static const std::string id = [] {
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    char text[40];
    std::snprintf(text, sizeof(text), "%08lx%08lx-%lx", now.dwHighDateTime, now.dwLowDateTime, GetCurrentProcessId());
    return std::string(text);
  }();
  return id;
}

// At a console (Tarnwick.com hands over its own), a run that waits longer than about 2 s says once on
// standard error what it waits for; JSON output stays data only.
KeepAlive ConsoleProgress() {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (StandardOutputJson() || err == nullptr || err == INVALID_HANDLE_VALUE || GetFileType(err) != FILE_TYPE_CHAR ||
      !(GetConsoleMode(err, &mode) || (AttachConsole(ATTACH_PARENT_PROCESS) && GetConsoleMode(err, &mode)))) {
    return {};
  }
  return [err, start = GetTickCount64(), told = false](const std::string& status) mutable {
    if (told || GetTickCount64() - start < 2000) return;
    told = true;
    const std::wstring line = L"Tarnwick: " + WideFromUtf8(status) + L" (Ctrl+C stops the run)...\r\n";
    DWORD written = 0;
    WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  };
}

// The seams of one run; the service manager is opened only if a listed process is found.
struct Seams {
  ProcessWin32 processes;
  ServiceWin32 services;
  SystemClock clock;
  DebugPrivilegeWin32 rights;
  WindowWin32 windows;
  EndSeams Get() { return {.Processes = processes, .Services = services, .Time = clock, .Windows = &windows}; }
};

// The run's note is the trust check's warning; with rights, the pass holds the debug privilege.
RunInfo ThisRun(const TrustCheck& trust, PrivilegeApi* rights = nullptr) {
  DWORD session = 0;
  return {.ExeImage = ExeName() + ".exe",
          .OwnId = GetCurrentProcessId(),
          .OwnSession = ProcessIdToSessionId(GetCurrentProcessId(), &session) ? session : kUnknownSession,
          .StartNote = trust.Warning,
          .Rights = rights,
          .RunId = RunId(),
          .Version = TARNWICK_VERSION,
          .Bitness = static_cast<int>(sizeof(void*) * 8),
          .Elevated = RunsElevated(),
          .ExePath = ExePath()};
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

void UseJsonOutput(bool json) { StandardOutputJson() = json; }

void WriteNoteLine(std::string_view source, std::string_view what, std::string_view why) {
  SystemClock clock;
  RunLog log;
  const RunInfo info = ThisRun({});
  log.WriteLine(LogLine(clock.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, what, why, info.ExePath));
}

int RunSwitchNow(RunSwitch runSwitch, const std::vector<std::string>& images, const TrustCheck& trust,
                 const RunOptions& options) {
  Seams seams;
  RunLog log(trust.LogTrusted);
  RunInfo info = ThisRun(trust, &seams.rights);
  info.WhileWaiting = ConsoleProgress();
  return RunUnattended(runSwitch, images, seams.Get(), log, info, options);
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
                          "exit code 3: " + why, info.ExePath));
  } catch (...) {
    // Nowhere left to tell it.
  }
}

std::string EndFromWindow(const std::vector<std::string>& images, const KeepAlive& whileWaiting,
                          const EndLimits& limits) {
  Seams seams;
  RunLog log;
  const PrivilegeScope rights(&seams.rights);  // for this pass only
  return TerminateFromWindow(images, seams.Get(), log, whileWaiting, limits, ThisRun({}));
}

}  // namespace tarnwick
