// Finding processes by image name, over a small process interface that tests can fake.
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
// query right alone (no read of its memory); where Windows 7 cannot tell criticality that way, the process
// interface asks for what its fallback needs.
inline constexpr std::uint32_t kQueryRights = 0x1000;            // PROCESS_QUERY_LIMITED_INFORMATION
inline constexpr std::uint32_t kTerminateRights = 0x1001;        // ... | PROCESS_TERMINATE
inline constexpr std::uint32_t kSynchronizeRights = 0x00100000;  // SYNCHRONIZE: what a wait for the end needs

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

// A process as a run names it: the image as the search list writes it (empty where unknown), its identifier
// and its session. Targets carry it, and each record about the process is made from it (RecordOf).
struct ProcessTag {
  std::string Image{};
  ProcessId Id = 0;
  SessionId Session = kUnknownSession;
};

// One process of a system snapshot: its identifier, the file name of its image and its session.
// Names come in the ANSI code page; one without an exact equivalent there is empty and matches nothing.
struct SnapshotEntry {
  ProcessId Id = 0;
  std::string ExeName{};
  SessionId Session = kUnknownSession;
  ProcessId Parent = 0;         // the process that created it, as it was then: that id may have been reused since
  std::uint64_t CreatedAt = 0;  // its creation time (FILETIME units); 0 where the snapshot does not tell
};

// The operating system's process functions, one method per call the scan makes.
class ProcessApi {
 public:
  virtual ~ProcessApi() = default;
  virtual ProcessHandle Open(std::uint32_t rights, ProcessId id) = 0;
  // The image's path (QueryFullProcessImageNameW); empty when it cannot be read.
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
  // When the process was created (GetProcessTimes, FILETIME units); 0 when it cannot be read.
  virtual std::uint64_t CreationTime(ProcessHandle process) = 0;
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

// The upper-cased file name (after the last backslash) of an opened process's image path, which Windows
// keeps itself: the module list lives in the process's own memory, where it can rename itself.
std::string IdentityName(ProcessApi& api, ProcessHandle process);

// Whether a process of each image name runs (the name alone, in any letter case; an empty name never
// matches), from one snapshot of the running processes: only processes whose snapshot name matches a name
// are opened to confirm their identity; one that cannot be opened counts as not running. Tarnwick's own
// process is left out, as the ending pipeline leaves it, and so is any process of a session `sessions`
// does not cover.
std::vector<bool> FindRunningImages(ProcessApi& api, const std::vector<std::string>& imageNames,
                                    const SessionScope& sessions = SessionScope::All());

}  // namespace tarnwick
