// Reads the owner and access list of each file on its opened handle (GetSecurityInfo) and applies the
// trust rule with the SID of the account that runs Tarnwick.
#include "app/TrustWin32.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include <optional>

#include "app/AppWin32.h"
#include "app/RunWin32.h"
#include "app/Trust.h"
#include "common/GrowBuffer.h"
#include "common/Win32Handles.h"
#include "process/Scope.h"
#include "process/ScopeWin32.h"

namespace tarnwick {
namespace {

std::string SidText(PSID sid) {
  LPSTR text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) return {};
  const LocalMemory owned(text);
  return text;
}

std::string RunningAccountSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  KernelHandle token(raw);
  const auto user = NeededBytes(sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE, [&](auto* data, DWORD size, DWORD* needed) {
    return GetTokenInformation(token.Get(), TokenUser, data, size, needed);
  });
  if (user.empty()) return {};
  return SidText(reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid);
}

// An access rule that cannot be read, or of a kind not read here, lets others change the object as far
// as the rule goes: it counts as an allow of everything.
AccessRule FailClosed(const std::string& what) { return {.Sid = what, .Allow = true, .Mask = 0x10000000}; }

// The rule of one access-list entry: its SID, whether it allows, and its mask; a deny of a kind not read
// here is left out (leaving out a deny can only find more, never less).
std::optional<AccessRule> RuleOf(ACE_HEADER* header) {
  const auto rule = [&](PSID sid, bool allow) {
    // Every kind read here has its access mask right after the header.
    return AccessRule{.Sid = SidText(sid),
                      .Allow = allow,
                      .Mask = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->Mask,
                      .InheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0};
  };
  switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
      return rule(&reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart, true);
    case ACCESS_DENIED_ACE_TYPE:
      return rule(&reinterpret_cast<ACCESS_DENIED_ACE*>(header)->SidStart, false);
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
      auto* object = reinterpret_cast<ACCESS_ALLOWED_OBJECT_ACE*>(header);
      std::size_t offset = offsetof(ACCESS_ALLOWED_OBJECT_ACE, ObjectType);
      if ((object->Flags & ACE_OBJECT_TYPE_PRESENT) != 0) offset += sizeof(GUID);
      if ((object->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) != 0) offset += sizeof(GUID);
      return rule(reinterpret_cast<unsigned char*>(header) + offset, true);
    }
    case ACCESS_DENIED_CALLBACK_ACE_TYPE:
    case ACCESS_DENIED_OBJECT_ACE_TYPE:
    case ACCESS_DENIED_CALLBACK_OBJECT_ACE_TYPE:
      return std::nullopt;
    default:
      return FailClosed("an access rule of unknown kind " + std::to_string(header->AceType));
  }
}

// The finding for one opened object: empty when no one else can change it.
// The owner and access list read from an opened object; false, with the system's error, where they cannot be.
bool ReadSecurity(HANDLE object, ObjectSecurity& security, DWORD& error) {
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR raw = nullptr;
  error = GetSecurityInfo(object, SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                          nullptr, &dacl, nullptr, &raw);
  if (error != ERROR_SUCCESS) return false;
  const LocalMemory descriptor(raw);
  security.OwnerSid = SidText(owner);
  security.HasAccessList = dacl != nullptr;
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* ace = nullptr;
    const std::optional<AccessRule> rule =
        GetAce(dacl, i, &ace) ? RuleOf(static_cast<ACE_HEADER*>(ace)) : FailClosed("an unreadable access rule");
    if (rule) security.Rules.push_back(*rule);
  }
  return true;
}

// The finding for one opened file: empty when no one else can change it.
std::string Check(HANDLE object, const std::wstring& path, const std::string& me) {
  ObjectSecurity security{.Kind = TrustKind::File};
  DWORD error = 0;
  if (!ReadSecurity(object, security, error)) {
    return Utf8(path) + " could not be checked: system error " + std::to_string(error);
  }
  const std::vector<Changer> changers = WhoCanChange(security, me);
  return changers.empty() ? std::string() : DescribeFinding(Utf8(path), TrustKind::File, changers);
}

// A file's finding; empty where it may be missing and is. The list is read later from `opened`, so it
// must be one plain file of one name: through a link, or a second name that an ordinary user made, the
// checked file would not be the one in the folder.
std::string CheckFile(const std::wstring& path, bool mayBeMissing, const std::string& me,
                      KernelHandle* opened = nullptr) {
  const auto open = [&](DWORD access) {
    return KernelHandle(CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                    nullptr, OPEN_EXISTING,
                                    opened != nullptr ? FILE_FLAG_OPEN_REPARSE_POINT : FILE_ATTRIBUTE_NORMAL, nullptr));
  };
  KernelHandle file = open(READ_CONTROL | FILE_READ_ATTRIBUTES | (opened != nullptr ? GENERIC_READ : 0));
  bool held = opened != nullptr;
  if (!file && held && (GetLastError() == ERROR_SHARING_VIOLATION || GetLastError() == ERROR_LOCK_VIOLATION)) {
    // Someone holds the list without sharing: its rights can still be read (no data access, so no sharing
    // check); the list itself is then read by its path, which tries again and tells an unreadable list.
    file = open(READ_CONTROL | FILE_READ_ATTRIBUTES);
    held = false;
  }
  if (!file) {
    const DWORD error = GetLastError();
    if (mayBeMissing && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) return {};
    return Utf8(path) + " could not be checked: system error " + std::to_string(error);
  }
  BY_HANDLE_FILE_INFORMATION info{};
  if (opened != nullptr && (!GetFileInformationByHandle(file.Get(), &info) ||
                            (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0 || info.nNumberOfLinks != 1)) {
    return Utf8(path) + " is a link or has more than one name (hard link): an elevated run reads and " +
           "writes a list of one name only";
  }
  std::string finding = Check(file.Get(), path, me);
  if (held) *opened = std::move(file);
  return finding;
}

// The folders from this one (ending in a backslash) up to its volume's root.
std::vector<std::wstring> PathFolders(const std::wstring& folder) {
  std::wstring root(folder.size() + 2, L'\0');
  if (!GetVolumePathNameW(folder.c_str(), root.data(), static_cast<DWORD>(root.size()))) root = folder;
  return FoldersUpTo(folder, wcslen(root.c_str()));
}

// Checks each folder of the path, holding it open without delete sharing, so that none can be renamed
// away for the rest of the run. Returns whether one of them is a link or junction; `lockDown` becomes the
// highest folder that failed.
bool CheckPath(const std::wstring& folder, const std::string& me, std::vector<std::string>& findings,
               std::wstring& lockDown, std::vector<KernelHandle>& held) {
  const std::vector<std::wstring> folders = PathFolders(folder);
  std::vector<PathFolderRead> chain;
  for (const std::wstring& each : folders) {
    PathFolderRead read{.Path = Utf8(each)};
    KernelHandle opened(CreateFileW(each.c_str(), READ_CONTROL | FILE_READ_ATTRIBUTES,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING,
                                    FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OPEN_REPARSE_POINT, nullptr));
    BY_HANDLE_FILE_INFORMATION info{};
    DWORD error = 0;
    if (!opened || !GetFileInformationByHandle(opened.Get(), &info)) {
      error = GetLastError();
    } else {
      read.Link = (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0;
      static_cast<void>(ReadSecurity(opened.Get(), read.Security, error));
    }
    if (error != ERROR_SUCCESS) read.Unreadable = "system error " + std::to_string(error);
    if (opened) held.push_back(std::move(opened));
    chain.push_back(std::move(read));
  }
  PathVerdict verdict = CheckPathChain(std::move(chain), me);
  if (!verdict.Findings.empty()) lockDown = folders[verdict.LockDown];
  findings.insert(findings.end(), verdict.Findings.begin(), verdict.Findings.end());
  return verdict.Linked;
}

// True where Tarnwick already lies below a Program Files folder: the warning then does not say to move there.
bool InProgramFiles(const std::wstring& folder) {
  std::wstring upper = folder;
  CharUpperBuffW(upper.data(), static_cast<DWORD>(upper.size()));
  for (const wchar_t* name : {L"ProgramFiles", L"ProgramW6432", L"ProgramFiles(x86)"}) {
    wchar_t value[MAX_PATH] = L"";
    const DWORD n = GetEnvironmentVariableW(name, value, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) continue;
    std::wstring prefix(value);
    CharUpperBuffW(prefix.data(), static_cast<DWORD>(prefix.size()));
    if (prefix.back() != L'\\') prefix += L'\\';
    if (upper.rfind(prefix, 0) == 0) return true;
  }
  return false;
}

}  // namespace

std::wstring FinalPath(const std::wstring& path) {
  KernelHandle opened(CreateFileW(path.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                  OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr));
  return opened ? FinalPathOfHandle(opened.Get()) : std::wstring();
}

std::wstring FinalFolder(const std::wstring& folder) {
  std::wstring path = FinalPath(folder);
  if (!path.empty() && path.back() != L'\\') path += L'\\';
  return path;
}

bool RunsElevated() {
  static const bool elevated = [] {
    HANDLE raw = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return true;  // cannot tell: check
    KernelHandle token(raw);
    TOKEN_ELEVATION elevation{};
    DWORD size = 0;
    return (GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
            elevation.TokenIsElevated != 0) ||
           RunningAccountSid() == kSystemSid;
  }();
  return elevated;
}

TrustCheck CheckTrust(const TrustPaths& paths) {
  TrustCheck check;
  if (!RunsElevated()) return check;
  const std::string me = RunningAccountSid();
  auto held = std::make_shared<std::vector<KernelHandle>>();
  std::vector<std::string> pathFindings;
  std::wstring lockDown = paths.Folder;
  // Through a link or junction the path that it leads to must pass too.
  if (CheckPath(paths.Folder, me, pathFindings, lockDown, *held)) {
    const std::wstring target = FinalFolder(paths.Folder);
    if (target.empty()) {
      pathFindings.push_back(Utf8(paths.Folder) + " could not be checked: where its links lead is unknown");
    } else {
      CheckPath(target, me, pathFindings, lockDown, *held);
    }
  }
  // Started through a link: whoever can change the link's folder can change what the next start runs.
  if (!paths.LinkFolder.empty()) CheckPath(paths.LinkFolder, me, pathFindings, lockDown, *held);
  KernelHandle list;
  for (const std::string& finding : {CheckFile(paths.Profile, true, me, &list), CheckFile(paths.Exe, false, me)}) {
    if (!finding.empty()) check.Findings.push_back(finding);
  }
  check.Findings.insert(check.Findings.end(), pathFindings.begin(), pathFindings.end());
  check.LogTrusted = pathFindings.empty() && CheckFile(paths.Log, true, me).empty();
  if (!check.Findings.empty()) {
    check.Warning = TrustWarning(check.Findings, Utf8(lockDown), !InProgramFiles(paths.Folder));
  }
  check.HeldPath = std::move(held);
  if (list) check.HeldList = std::make_shared<const KernelHandle>(std::move(list));
  return check;
}

TrustPaths OwnTrustPaths() {
  const std::wstring folder = AppDirectory();
  const std::wstring started = StartedPath();
  std::wstring linkFolder = started.substr(0, started.rfind(L'\\') + 1);
  if (NormalisedPath(linkFolder) == NormalisedPath(folder)) linkFolder.clear();
  return {.Exe = ExePath(),
          .Profile = ProfilePath(),
          .Folder = folder,
          .Log = folder + kLogFileName,
          .LinkFolder = linkFolder};
}

}  // namespace tarnwick
