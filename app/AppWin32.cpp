// The program's view of itself under Windows: path, directory, name, rights, locale and single instance.
#include "app/AppWin32.h"

#include <windows.h>

#include <cstdint>

#include "app/FolderMark.h"
#include "app/TrustWin32.h"
#include "common/SystemFunctionWin32.h"
#include "common/Text.h"
#include "common/WideTextWin32.h"
#include "process/Scope.h"
#include "searchlist/SearchListFile.h"

namespace tarnwick {

bool AutoMode = false;

std::wstring StartedPath() {
  std::wstring path(MAX_PATH, L'\0');
  // Long paths reach 32767 characters; a cut one is reported as the whole buffer (not terminated on XP).
  while (path.size() <= 65536) {
    const DWORD n = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (n == 0) return {};
    if (n < path.size()) {
      path.resize(n);
      return path;
    }
    path.resize(path.size() * 2);
  }
  return {};
}

namespace {

// The path of the file itself, through every symbolic link and junction: winget starts a portable exe
// through a link in a shared folder, where the list, the log and the folder mark do not belong. The
// started path where the file cannot be opened or named.
std::wstring FinalPathOf(const std::wstring& path) {
  KernelHandle file(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr));
  if (!file) return path;
  std::wstring final(MAX_PATH, L'\0');
  for (int tries = 0; tries < 3; ++tries) {
    const DWORD n = GetFinalPathNameByHandleW(file.Get(), final.data(), static_cast<DWORD>(final.size()),
                                              FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
    if (n == 0) return path;
    if (n < final.size()) {
      final.resize(n);
      // "\\?\C:\..." or "\\?\UNC\server\share\...": the plain form names the same file.
      return Unprefixed(final);
    }
    final.resize(n);  // the size needed, its terminating zero included
  }
  return path;
}

}  // namespace

std::wstring ExePath() {
  // Read once: the list, the log, the trust check and the folder mark must agree on one folder.
  static const std::wstring path = FinalPathOf(StartedPath());
  return path;
}

std::wstring AppDirectory() {
  const std::wstring path = ExePath();
  const std::size_t slash = path.rfind(L'\\');
  std::wstring directory = slash == std::wstring::npos ? std::wstring() : path.substr(0, slash);
  if (directory.empty() || directory.back() != L'\\') directory += L'\\';
  return directory;
}

std::wstring ExeBaseNameWide() {
  const std::wstring path = ExePath();
  const std::size_t slash = path.find_last_of(L"\\/");
  std::wstring name = slash == std::wstring::npos ? path : path.substr(slash + 1);
  const std::size_t dot = name.rfind(L'.');
  if (dot != std::wstring::npos) name.resize(dot);
  return name;
}

std::string ExeName() { return AnsiFromWide(ExeBaseNameWide()); }

std::wstring ProfilePath() { return AppDirectory() + WideFromAnsi(kProfileFileName); }

bool RunsElevated() {
  // SYSTEM's runs (Task Scheduler) count too: for the files' rights and the writes it is the same question.
  static const bool elevated = RunsElevatedOrAsSystem();
  return elevated;
}

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
std::wstring FolderMarkName(std::wstring directory) {
  if (!directory.empty()) CharUpperBuffW(directory.data(), static_cast<DWORD>(directory.size()));
  std::uint64_t hash = 14695981039346656037ull;
  for (const wchar_t c : directory) {
    for (const unsigned byte : {static_cast<unsigned>(c & 0xFF), static_cast<unsigned>(c >> 8)}) {
      hash ^= byte;
      hash *= 1099511628211ull;
    }
  }
  wchar_t text[17];
  wsprintfW(text, L"%08lX%08lX", static_cast<unsigned long>(hash >> 32), static_cast<unsigned long>(hash));
  return L"Tarnwick-" + std::wstring(text) + L"-" + std::to_wstring(directory.size());
}

using CreateBoundaryFn = HANDLE(WINAPI*)(LPCWSTR, ULONG);
using AddSidFn = BOOL(WINAPI*)(HANDLE*, PSID);
using DeleteBoundaryFn = VOID(WINAPI*)(HANDLE);
using CreateNamespaceFn = HANDLE(WINAPI*)(LPSECURITY_ATTRIBUTES, LPVOID, LPCWSTR);
using OpenNamespaceFn = HANDLE(WINAPI*)(LPVOID, LPCWSTR);
using CloseNamespaceFn = BOOLEAN(WINAPI*)(HANDLE, ULONG);

constexpr const wchar_t* kNamespaceName = L"Tarnwick";

// The private namespace bounded by the Administrators group: only an administrator's token can make or
// open it. nullptr where this Windows (or Wine) lacks the calls.
HANDLE OpenAdministratorsNamespace() {
  const auto createBoundary = SystemFunction<CreateBoundaryFn>("kernel32.dll", "CreateBoundaryDescriptorW");
  const auto addSid = SystemFunction<AddSidFn>("kernel32.dll", "AddSIDToBoundaryDescriptor");
  const auto deleteBoundary = SystemFunction<DeleteBoundaryFn>("kernel32.dll", "DeleteBoundaryDescriptor");
  const auto createNamespace = SystemFunction<CreateNamespaceFn>("kernel32.dll", "CreatePrivateNamespaceW");
  const auto openNamespace = SystemFunction<OpenNamespaceFn>("kernel32.dll", "OpenPrivateNamespaceW");
  if (!createBoundary || !addSid || !deleteBoundary || !createNamespace || !openNamespace) return nullptr;
  HANDLE boundary = createBoundary(kNamespaceName, 0);
  if (boundary == nullptr) return nullptr;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof(sid);
  HANDLE space = nullptr;
  if (CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) && addSid(&boundary, sid)) {
    space = createNamespace(nullptr, boundary, kNamespaceName);
    if (space == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) space = openNamespace(boundary, kNamespaceName);
  }
  deleteBoundary(boundary);
  return space;
}

// The marks of one folder name, each held by the guard once made.
class MarksWin32 final : public MarkApi {
 public:
  MarksWin32(std::wstring name, HANDLE space, KernelHandle& own, KernelHandle& shared)
      : name_(std::move(name)), space_(space), own_(own), shared_(shared) {}

  MarkAnswer Make(MarkPlace place) override {
    if (place == MarkPlace::Administrators && space_ == nullptr) return MarkAnswer::Failed;
    const std::wstring prefix = place == MarkPlace::Administrators ? std::wstring(kNamespaceName) + L"\\"
                                : place == MarkPlace::Global       ? L"Global\\"
                                                                   : L"Local\\";
    KernelHandle mutex(CreateMutexW(nullptr, FALSE, (prefix + name_).c_str()));
    const DWORD error = GetLastError();
    if (!mutex)
      return error == ERROR_ACCESS_DENIED && place != MarkPlace::Administrators ? MarkAnswer::Denied
                                                                                : MarkAnswer::Failed;
    // The elevated run's own mark decides; the machine-wide one beside it is only shown to others.
    KernelHandle& holder = (place == MarkPlace::Global && own_) ? shared_ : own_;
    holder = std::move(mutex);
    return error == ERROR_ALREADY_EXISTS ? MarkAnswer::Existed : MarkAnswer::Made;
  }

 private:
  std::wstring name_;
  HANDLE space_;
  KernelHandle& own_;
  KernelHandle& shared_;
};

}  // namespace

InstanceGuard::InstanceGuard() {
  // One mark per folder, for every session: a scheduled run as another user shares the list file too.
  if (RunsElevated()) namespace_ = OpenAdministratorsNamespace();
  MarksWin32 marks(FolderMarkName(AppDirectory()), namespace_, mutex_, sharedMutex_);
  anotherRuns_ = TakeFolderMark(marks, namespace_ != nullptr);
}

InstanceGuard::~InstanceGuard() { Release(); }

void InstanceGuard::Release() {
  mutex_.Reset();
  sharedMutex_.Reset();
  if (namespace_ == nullptr) return;
  if (const auto close = SystemFunction<CloseNamespaceFn>("kernel32.dll", "ClosePrivateNamespace"))
    close(namespace_, 0);
  namespace_ = nullptr;
}

}  // namespace tarnwick
