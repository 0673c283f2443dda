// The real seams of a run: the system clock, the service manager, the log file with its rotation, a
// redirected standard output, and the debug privilege for the pass; one context per start holds them.
#include "app/RunWin32.h"

#include <windows.h>

#include <cstdio>

#include "app/AppWin32.h"
#include "app/EventLogWin32.h"
#include "app/RunJson.h"
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

// A standard handle that is a console the caller handed over (Tarnwick.com hands over its own): no console is
// created.
bool IsConsole(HANDLE handle) {
  DWORD mode = 0;
  return handle != nullptr && handle != INVALID_HANDLE_VALUE && GetFileType(handle) == FILE_TYPE_CHAR &&
         (GetConsoleMode(handle, &mode) || (AttachConsole(ATTACH_PARENT_PROCESS) && GetConsoleMode(handle, &mode)));
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
// short; a folder that cannot be written means no log, and the run goes on.
class RunLog final : public LineSink {
 public:
  RunLog() : path_(AppDirectory() + kLogFileName), elevated_(RunsElevated()), toFile_(!elevated_) {
    // Only a file, a pipe or a console; a console is written in Unicode.
    HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
    console_ = IsConsole(out);
    stdout_ = console_ || StandardOutputRedirected() ? out : nullptr;
  }

  // Without toFile the lines go to standard output alone: the log failed the trust check.
  void AllowFile(bool toFile) { toFile_ = toFile; }
  // With json, standard output carries the runs' JSON Lines ("/json") and no other line.
  void UseJson(bool json) { json_ = json; }
  bool Json() const { return json_; }

  // A line outside a run's entries: with JSON on standard output, the log alone has it.
  void WriteLine(const std::string& text) override {
    if (toFile_) Append(text + "\r\n");
    if (!json_) Out(text);
  }

  void Write(const RunEntry& entry) override {
    const std::string text = TextLine(entry);
    if (toFile_) Append(text + "\r\n");
    Out(json_ ? JsonLine(entry) : text);
    events_.Report(entry);
  }

 private:
  // A line of UTF-8 (JSON is ASCII, the same in every code page).
  void Out(const std::string& text) const {
    if (stdout_ == nullptr) return;
    DWORD written = 0;
    if (console_) {
      const std::wstring line = WideFromUtf8(text) + L"\r\n";
      WriteConsoleW(stdout_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      return;
    }
    const std::string line = ConsoleFromUtf8(text) + "\r\n";
    WriteFile(stdout_, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  }

  // Elevated, the log is written only where it is a plain file of one name: through a link, a junction or
  // a second name (a hard link an ordinary user made) the write would land in a file outside the folder.
  KernelHandle OpenLog() const {
    KernelHandle log(CreateFileW(path_.c_str(), FILE_WRITE_DATA | FILE_APPEND_DATA | FILE_READ_ATTRIBUTES,
                                 FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL | (elevated_ ? FILE_FLAG_OPEN_REPARSE_POINT : 0), nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    if (log && elevated_ &&
        (!GetFileInformationByHandle(log.Get(), &info) || (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) ||
         info.nNumberOfLinks != 1)) {
      log.Reset();
    }
    return log;
  }

  void Append(const std::string& line) {
    KernelHandle log = OpenLog();
    if (!log) return;
    LARGE_INTEGER size{};
    if (!GetFileSizeEx(log.Get(), &size)) return;
    std::string text = line;
    if (size.QuadPart > 0 && static_cast<unsigned long long>(size.QuadPart) + line.size() > kMaxLogBytes) {
      log.Reset();
      // A rename moves a link itself, never what it points to.
      if (MoveFileExW(path_.c_str(), (path_ + L".1").c_str(), MOVEFILE_REPLACE_EXISTING)) {
        log = OpenLog();
      } else {
        // The log stays bounded: it starts over, and its first line (one like every other) says why.
        const DWORD error = GetLastError();
        log = OpenLog();
        if (!log || !SetFilePointerEx(log.Get(), {}, nullptr, FILE_BEGIN) || !SetEndOfFile(log.Get())) return;
        text = LogLine(SystemClock().Local(), "log", "", 0, kUnknownSession, "the log was emptied",
                       "Tarnwick.log.1 could not be replaced (system error " + std::to_string(error) + ")",
                       path_ + L".1") +
               "\r\n" + line;
      }
      if (!log) return;
    }
    DWORD written = 0;
    if (SetFilePointerEx(log.Get(), {}, nullptr, FILE_END)) {
      WriteFile(log.Get(), text.data(), static_cast<DWORD>(text.size()), &written, nullptr);
    }
  }

  std::wstring path_;
  bool elevated_ = false;
  bool toFile_ = true;
  bool json_ = false;
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
KeepAlive ConsoleProgress(bool json) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  if (json || !IsConsole(err)) return {};
  return [err, start = GetTickCount64(), told = false](const std::string& status) mutable {
    if (told || GetTickCount64() - start < 2000) return;
    told = true;
    const std::wstring line = L"Tarnwick: " + WideFromUtf8(status) + L" (Ctrl+C stops the run)...\r\n";
    DWORD written = 0;
    WriteConsoleW(err, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  };
}

// The seams of one pass; the service manager is opened only if a listed process is found.
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

}  // namespace

bool StandardOutputRedirected() {
  HANDLE out = GetStdHandle(STD_OUTPUT_HANDLE);
  const DWORD type = (out != nullptr && out != INVALID_HANDLE_VALUE) ? GetFileType(out) : FILE_TYPE_UNKNOWN;
  return type == FILE_TYPE_DISK || type == FILE_TYPE_PIPE;
}

struct RunContext::Parts {
  SystemClock clock;
  RunLog log;
  TrustCheck trust;
  RunInfo info;

  void Line(std::string_view source, std::string_view what, std::string_view why) {
    log.WriteLine(LogLine(clock.Local(), source, info.ExeImage, info.OwnId, info.OwnSession, what, why, info.ExePath));
  }
};

RunContext::RunContext() : parts_(std::make_unique<Parts>()) {
  DWORD session = 0;
  parts_->info = {.ExeImage = ExeName() + ".exe",
                  .OwnId = GetCurrentProcessId(),
                  .OwnSession = ProcessIdToSessionId(GetCurrentProcessId(), &session) ? session : kUnknownSession,
                  .RunId = RunId(),
                  .Version = TARNWICK_VERSION,
                  .Bitness = static_cast<int>(sizeof(void*) * 8),
                  .Elevated = RunsElevated(),
                  .ExePath = ExePath()};
}

RunContext::~RunContext() = default;

void RunContext::SetTrust(const TrustCheck& trust) {
  parts_->trust = trust;
  parts_->info.StartNote = trust.Warning;
  parts_->log.AllowFile(trust.LogTrusted);
}

const TrustCheck& RunContext::Trust() const { return parts_->trust; }

void RunContext::UseJsonOutput(bool json) { parts_->log.UseJson(json); }

void RunContext::Note(std::string_view source, std::string_view what, std::string_view why) {
  parts_->Line(source, what, why);
}

int RunContext::RunSwitchOnList(RunSwitch runSwitch, const RunOptions& options) {
  SearchList list;
  // Elevated, the list is read from the handle whose rights were checked.
  const std::shared_ptr<const KernelHandle>& held = parts_->trust.HeldList;
  const ListLoad load = LoadList(list, held ? ReadSearchListFile(held->Get()) : ReadSearchListFile(ProfilePath()));
  for (const std::string& told : DescribeListLoad(load, kProfileFileName)) Note("list", "list file", told);
  std::vector<std::string> names;
  for (std::size_t i = 1; i <= list.Count(); ++i) names.push_back(list.Row(i).ImageName);
  return RunSwitchNow(runSwitch, names, options, load.MaySave() ? "" : load.Reason);
}

int RunContext::RefuseUnreadList(RunSwitch runSwitch, const std::string& reason) {
  Seams seams;
  RunInfo info = parts_->info;
  info.ListUnread = reason;
  return RunUnattended(runSwitch, {}, seams.Get(), parts_->log, info);
}

int RunContext::RunSwitchNow(RunSwitch runSwitch, const std::vector<std::string>& images, const RunOptions& options,
                             const std::string& listUnread) {
  Seams seams;
  RunInfo info = parts_->info;
  info.Rights = &seams.rights;  // the pass holds the debug privilege
  info.WhileWaiting = ConsoleProgress(parts_->log.Json());
  info.ListUnread = listUnread;
  return RunUnattended(runSwitch, images, seams.Get(), parts_->log, info, options);
}

int RunContext::RefuseUntrusted(RunSwitch runSwitch) {
  return tarnwick::RefuseUntrusted(runSwitch, parts_->clock, parts_->log, parts_->info);
}

int RunContext::RefuseCommandLine(const std::string& source, const std::string& problem) {
  return tarnwick::RefuseCommandLine(source, parts_->clock, parts_->log, parts_->info, problem);
}

int RunContext::RefuseAnother(RunSwitch runSwitch) {
  return RefuseUnattended(runSwitch, parts_->clock, parts_->log, parts_->info);
}

int RunContext::StartFailure(const std::string& why) noexcept {
  try {
    parts_->Line("start", "could not start", "exit code 3: " + why);
  } catch (...) {
    // Nowhere left to tell it.
  }
  return kExitCouldNotStart;
}

std::string RunContext::EndFromWindow(const std::vector<std::string>& images, const KeepAlive& whileWaiting,
                                      const EndLimits& limits) {
  Seams seams;
  const PrivilegeScope rights(&seams.rights);  // for this pass only
  return TerminateFromWindow(images, seams.Get(), parts_->log, whileWaiting, limits, parts_->info);
}

}  // namespace tarnwick
