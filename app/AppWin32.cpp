// The program's view of itself under Windows: path, directory, name, rights, locale and single instance.
#include "app/AppWin32.h"

#include <windows.h>

#include <sddl.h>

#include <cstdint>
#include <memory>

#include "app/FolderMark.h"
#include "app/TrustWin32.h"
#include "common/GrowBuffer.h"
#include "common/SystemFunctionWin32.h"
#include "common/Text.h"
#include "common/WideTextWin32.h"
#include "process/Scope.h"
#include "searchlist/SearchListFile.h"

namespace tarnwick {

std::wstring StartedPath() {
  // Long paths reach 32767 characters; a cut one is reported as the whole buffer.
  return SizedText([](wchar_t* data, DWORD size) { return GetModuleFileNameW(nullptr, data, size); });
}

std::wstring ExePath() {
  // Read once: the list, the log, the trust check and the folder mark must agree on one folder.
  // The path of the file itself, through every symbolic link and junction: winget starts a portable exe
  // through a link in a shared folder, where the list, the log and the folder mark do not belong.
  static const std::wstring path = [] {
    const std::wstring started = StartedPath();
    const std::wstring final = FinalPath(started);
    return final.empty() ? started : final;
  }();
  return path;
}

std::wstring AppDirectory() {
  const std::wstring path = ExePath();
  return path.substr(0, path.rfind(L'\\') + 1);
}

std::string ExeName() {
  const std::wstring path = ExePath();
  const std::wstring name = path.substr(path.find_last_of(L"\\/") + 1);
  return Utf8FromWide(name.substr(0, name.rfind(L'.')));
}

std::wstring ProfilePath() { return AppDirectory() + WideFromUtf8(kProfileFileName); }

namespace {

// Over UTF-16, so that a letter outside the code page folds too ("\u0101" and "\u0100" are one).
std::string SystemUpperCase(std::string_view text) {
  std::wstring wide = WideFromUtf8(text);
  if (!wide.empty()) CharUpperBuffW(wide.data(), static_cast<DWORD>(wide.size()));
  return Utf8FromWide(wide);
}

}  // namespace

void UseSystemCaseFolding() { SetUpperCaseFunction(&SystemUpperCase); }

namespace {

// A name of fixed length for a folder of any length (a mutex name is limited to MAX_PATH characters), from
// the folder itself: FNV-1a over the upper-cased path it really leads to, so that two drive letters, a
// link or a short name that lead to one folder give one name.
std::wstring FolderMarkName(const std::wstring& given) {
  std::wstring directory = FinalFolder(given);
  if (directory.empty()) directory = given;
  CharUpperBuffW(directory.data(), static_cast<DWORD>(directory.size()));
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
  // Deleted on every way out, after the namespace is made or opened with it.
  const auto remove = [deleteBoundary](HANDLE* boundary) {
    if (*boundary != nullptr) deleteBoundary(*boundary);
  };
  HANDLE boundary = createBoundary(kNamespaceName, 0);
  const std::unique_ptr<HANDLE, decltype(remove)> boundaryOwner(&boundary, remove);
  if (boundary == nullptr) return nullptr;
  BYTE sid[SECURITY_MAX_SID_SIZE];
  DWORD sidSize = sizeof(sid);
  if (!CreateWellKnownSid(WinBuiltinAdministratorsSid, nullptr, sid, &sidSize) || !addSid(&boundary, sid)) {
    return nullptr;
  }
  HANDLE space = createNamespace(nullptr, boundary, kNamespaceName);
  if (space == nullptr && GetLastError() == ERROR_ALREADY_EXISTS) space = openNamespace(boundary, kNamespaceName);
  return space;
}

// Everyone may wait on the mark; SYSTEM and Administrators may do anything with it. nullptr when it cannot
// be made: the default then, as before.
PSECURITY_DESCRIPTOR MarkSecurity() {
  static const LocalMemory descriptor = [] {
    PSECURITY_DESCRIPTOR made = nullptr;
    if (!ConvertStringSecurityDescriptorToSecurityDescriptorW(L"D:(A;;0x00100000;;;WD)(A;;GA;;;SY)(A;;GA;;;BA)",
                                                              SDDL_REVISION_1, &made, nullptr)) {
      made = nullptr;
    }
    return LocalMemory(made);
  }();
  return descriptor.Get();
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
    // Every Tarnwick's mark lets everyone wait on it, so that another account's Tarnwick is seen as running;
    // opened for waiting only, which that grants.
    SECURITY_ATTRIBUTES everyoneWaits{sizeof(SECURITY_ATTRIBUTES), MarkSecurity(), FALSE};
    KernelHandle mutex(CreateMutexExW(everyoneWaits.lpSecurityDescriptor != nullptr ? &everyoneWaits : nullptr,
                                      (prefix + name_).c_str(), 0, SYNCHRONIZE));
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
  if (RunsElevated()) namespace_.Reset(OpenAdministratorsNamespace());
  MarksWin32 marks(FolderMarkName(AppDirectory()), namespace_.Get(), mutex_, sharedMutex_);
  anotherRuns_ = TakeFolderMark(marks, static_cast<bool>(namespace_));
}

InstanceGuard::~InstanceGuard() { Release(); }

void InstanceGuard::Release() {
  mutex_.Reset();
  sharedMutex_.Reset();
  namespace_.Reset();
}

}  // namespace tarnwick
