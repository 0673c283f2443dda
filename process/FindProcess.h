// Finding and terminating processes by image name, over a small process interface that tests can fake.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace tarnwick {

using ProcessId = std::uint32_t;
using ProcessHandle = void*;  // nullptr: no handle
// A Windows session: 0 holds the services, each signed-in user has one of their own.
using SessionId = std::uint32_t;
inline constexpr SessionId kUnknownSession = 0xFFFFFFFF;

// Access rights as Windows numbers them. A process is named and checked for criticality with the limited
// query right alone (no read of its memory); where Windows cannot name an image that way, the process
// interface asks for what its fallback needs.
inline constexpr std::uint32_t kQueryRights = 0x1000;            // PROCESS_QUERY_LIMITED_INFORMATION
inline constexpr std::uint32_t kTerminateRights = 0x1001;        // ... | PROCESS_TERMINATE
inline constexpr std::uint32_t kSynchronizeRights = 0x00100000;  // SYNCHRONIZE: what a wait for the end needs
inline constexpr std::uint32_t kQueryLimitedRights = 0x1000;     // PROCESS_QUERY_LIMITED_INFORMATION

// The system's error numbers that the rules tell apart.
inline constexpr std::uint32_t kErrorAccessDenied = 5;
inline constexpr std::uint32_t kErrorInvalidParameter = 87;  // OpenProcess: no such process (any more)

// Which sessions a scan or a run covers: every one (-a, -k, -l, the administrator's clean-up), or the
// window's own and session 0 (services). Other users' interactive sessions are their work; a process whose
// session cannot be read is not taken to be the window's.
struct SessionScope {
  bool Every = true;
  SessionId Own = kUnknownSession;
  bool Covers(SessionId session) const { return Every || session == 0 || (session == Own && Own != kUnknownSession); }
  static SessionScope All() { return {}; }
  static SessionScope WindowOf(SessionId own) { return {.Every = false, .Own = own}; }
};

// One process of a system snapshot: its identifier, the file name of its image and its session.
// Names come in the ANSI code page; one without an exact equivalent there is empty and matches nothing.
struct SnapshotEntry {
  ProcessId Id = 0;
  std::string ExeName{};
  SessionId Session = kUnknownSession;
};

// The operating system's process functions, one method per call the scan makes.
class ProcessApi {
 public:
  virtual ~ProcessApi() = default;
  // Like EnumProcesses: fills at most bufferBytes / 4 identifiers, reports the bytes written.
  // A full buffer is indistinguishable from one that was just large enough.
  virtual bool EnumerateIds(ProcessId* ids, std::uint32_t bufferBytes, std::uint32_t& bytesReturned) = 0;
  virtual ProcessHandle Open(std::uint32_t rights, ProcessId id) = 0;
  // The main module's path (EnumProcessModules, then GetModuleFileNameExW); empty when it cannot be read.
  virtual std::string MainModuleName(ProcessHandle process) = 0;
  // The image's path (QueryFullProcessImageNameW); empty when it cannot be read or the system lacks the call.
  virtual std::string ImagePath(ProcessHandle process) = 0;
  // Whether Windows stops when this process ends (IsProcessCritical, else ProcessBreakOnTermination);
  // false where the system cannot tell.
  virtual bool IsCritical(ProcessHandle process) = 0;
  // False when Windows refused; LastError() then tells why.
  virtual bool Terminate(ProcessHandle process, std::uint32_t exitCode) = 0;
  // Waits at most timeoutMs for the process to end; true once it has ended.
  virtual bool WaitForExit(ProcessHandle process, std::uint32_t timeoutMs) = 0;
  // The system's error number of the last Open or Terminate that failed.
  virtual std::uint32_t LastError() = 0;
  virtual void Close(ProcessHandle process) = 0;
  virtual ProcessId OwnId() = 0;
  // The session a process runs in (ProcessIdToSessionId); kUnknownSession where it cannot be read.
  virtual SessionId SessionOf(ProcessId id) = 0;
  // Every running process with its image's file name, taken at one moment; false when no snapshot came.
  virtual bool Snapshot(std::vector<SnapshotEntry>& entries) = 0;
  // The image's full path as Windows reports it (QueryFullProcessImageNameW), wide and in its long form
  // (no 8.3 short names); empty when it cannot be read.
  virtual std::wstring FullImagePath(ProcessHandle process) = 0;
  // When the process started (GetProcessTimes): 100 ns ticks since 1601 in UTC; 0 where it cannot be read.
  virtual std::uint64_t CreationTime(ProcessHandle) { return 0; }
};

// An open process handle, closed when it goes; movable, so that a pass can keep its targets open.
class ProcessRef {
 public:
  ProcessRef() = default;
  ProcessRef(ProcessApi& api, std::uint32_t rights, ProcessId id) : api_(&api), handle_(api.Open(rights, id)) {}
  ProcessRef(ProcessRef&& other) noexcept
      : api_(std::exchange(other.api_, nullptr)), handle_(std::exchange(other.handle_, nullptr)) {}
  ProcessRef& operator=(ProcessRef&& other) noexcept {
    if (this != &other) {
      Close();
      api_ = std::exchange(other.api_, nullptr);
      handle_ = std::exchange(other.handle_, nullptr);
    }
    return *this;
  }
  ProcessRef(const ProcessRef&) = delete;
  ProcessRef& operator=(const ProcessRef&) = delete;
  ~ProcessRef() { Close(); }
  ProcessHandle Get() const { return handle_; }
  explicit operator bool() const { return handle_ != nullptr; }

 private:
  void Close() {
    if (handle_ != nullptr) api_->Close(handle_);
    handle_ = nullptr;
  }
  ProcessApi* api_ = nullptr;
  ProcessHandle handle_ = nullptr;
};

// The identifiers of all running processes. The buffer grows until the answer no longer fills it,
// so there is no limit of 256 processes. False when the enumeration fails.
bool EnumerateAllIds(ProcessApi& api, std::vector<ProcessId>& ids);

// The upper-cased file name (after the last backslash) of an opened process: the image path's, which
// Windows keeps itself, or the main module's where the image path cannot be had (older Windows).
std::string IdentityName(ProcessApi& api, ProcessHandle process);

// Query mode (terminate false): whether a process with the image name runs.
// Terminate mode: ends the first such process with exit code 0 and returns false. Tarnwick's own
// process and processes Windows marks critical are never ended; the next match is taken instead.
// An empty image name never matches; a process that cannot be opened counts as not running.
bool FindProcess(ProcessApi& api, std::string_view imageName, bool terminate);

// What FindProcess(api, name, false) gives for each name, from one snapshot of the running processes:
// only processes whose snapshot name matches a name are opened to confirm their identity. Tarnwick's own
// process is left out, as the ending pipeline leaves it, and so is any process of a session `sessions`
// does not cover.
std::vector<bool> FindRunningImages(ProcessApi& api, const std::vector<std::string>& imageNames,
                                    const SessionScope& sessions = SessionScope::All());

}  // namespace tarnwick
