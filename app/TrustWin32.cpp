// Reads the owner and access list of each file on its opened handle (GetSecurityInfo) and applies the
// trust rule with the SID of the account that runs Tarnwick.
#include "app/TrustWin32.h"

#include <windows.h>
#include <aclapi.h>
#include <sddl.h>

#include "app/AppWin32.h"
#include "app/RunWin32.h"
#include "app/Trust.h"
#include "common/Win32Handles.h"
#include "process/Scope.h"

namespace tarnwick {
namespace {

std::string SidText(PSID sid) {
  LPSTR text = nullptr;
  if (sid == nullptr || !ConvertSidToStringSidA(sid, &text)) return {};
  std::string result(text);
  LocalFree(text);
  return result;
}

// The path as the log and the message box write it; a character outside the code page shows as "?".
std::string DisplayPath(const std::wstring& path) {
  if (path.empty()) return {};
  const int length = static_cast<int>(path.size());
  const int size = WideCharToMultiByte(CP_ACP, 0, path.data(), length, nullptr, 0, nullptr, nullptr);
  std::string text(static_cast<std::size_t>(size > 0 ? size : 0), '\0');
  if (size > 0) WideCharToMultiByte(CP_ACP, 0, path.data(), length, text.data(), size, nullptr, nullptr);
  return text;
}

std::string RunningAccountSid() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return {};
  KernelHandle token(raw);
  DWORD size = 0;
  GetTokenInformation(token.Get(), TokenUser, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  if (size == 0 || !GetTokenInformation(token.Get(), TokenUser, buffer.data(), size, &size)) return {};
  return SidText(reinterpret_cast<TOKEN_USER*>(buffer.data())->User.Sid);
}

// The SID of an access rule, for the kinds an access list of a file can hold; nullptr for another kind.
PSID RuleSid(ACE_HEADER* header, bool& allow) {
  switch (header->AceType) {
    case ACCESS_ALLOWED_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_ACE_TYPE:
      allow = true;
      return &reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->SidStart;
    case ACCESS_DENIED_ACE_TYPE:
      allow = false;
      return &reinterpret_cast<ACCESS_DENIED_ACE*>(header)->SidStart;
    case ACCESS_ALLOWED_OBJECT_ACE_TYPE:
    case ACCESS_ALLOWED_CALLBACK_OBJECT_ACE_TYPE: {
      auto* rule = reinterpret_cast<ACCESS_ALLOWED_OBJECT_ACE*>(header);
      std::size_t offset = offsetof(ACCESS_ALLOWED_OBJECT_ACE, ObjectType);
      if ((rule->Flags & ACE_OBJECT_TYPE_PRESENT) != 0) offset += sizeof(GUID);
      if ((rule->Flags & ACE_INHERITED_OBJECT_TYPE_PRESENT) != 0) offset += sizeof(GUID);
      allow = true;
      return reinterpret_cast<unsigned char*>(header) + offset;
    }
    default:
      // A deny of a kind not read here is left out: leaving out a deny can only find more, never less.
      return nullptr;
  }
}

// The finding for one object: empty when no one else can change it, or when a file does not exist.
std::string Check(const std::wstring& path, TrustKind kind, bool mayBeMissing, const std::string& me) {
  const DWORD flags = kind == TrustKind::Folder ? FILE_FLAG_BACKUP_SEMANTICS : FILE_ATTRIBUTE_NORMAL;
  KernelHandle object(CreateFileW(path.c_str(), READ_CONTROL, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                  nullptr, OPEN_EXISTING, flags, nullptr));
  if (!object) {
    const DWORD error = GetLastError();
    if (mayBeMissing && (error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND)) return {};
    return DisplayPath(path) + " could not be checked: system error " + std::to_string(error);
  }
  PSID owner = nullptr;
  PACL dacl = nullptr;
  PSECURITY_DESCRIPTOR descriptor = nullptr;
  const DWORD error =
      GetSecurityInfo(object.Get(), SE_FILE_OBJECT, OWNER_SECURITY_INFORMATION | DACL_SECURITY_INFORMATION, &owner,
                      nullptr, &dacl, nullptr, &descriptor);
  if (error != ERROR_SUCCESS) return DisplayPath(path) + " could not be checked: system error " + std::to_string(error);
  ObjectSecurity security{.Kind = kind, .OwnerSid = SidText(owner), .HasAccessList = dacl != nullptr, .Rules = {}};
  for (DWORD i = 0; dacl != nullptr && i < dacl->AceCount; ++i) {
    void* raw = nullptr;
    if (!GetAce(dacl, i, &raw)) continue;
    auto* header = static_cast<ACE_HEADER*>(raw);
    bool allow = true;
    PSID sid = RuleSid(header, allow);
    if (sid == nullptr) continue;
    // Every kind read here has its access mask right after the header.
    security.Rules.push_back({.Sid = SidText(sid),
                              .Allow = allow,
                              .Mask = reinterpret_cast<ACCESS_ALLOWED_ACE*>(header)->Mask,
                              .InheritOnly = (header->AceFlags & INHERIT_ONLY_ACE) != 0});
  }
  LocalFree(descriptor);
  const std::vector<Changer> changers = WhoCanChange(security, me);
  return changers.empty() ? std::string() : DescribeFinding(DisplayPath(path), kind, changers);
}

}  // namespace

bool RunsElevatedOrAsSystem() {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &raw)) return true;  // cannot tell: check
  KernelHandle token(raw);
  TOKEN_ELEVATION elevation{};
  DWORD size = 0;
  if (GetTokenInformation(token.Get(), TokenElevation, &elevation, sizeof(elevation), &size) &&
      elevation.TokenIsElevated != 0) {
    return true;
  }
  return RunningAccountSid() == kSystemSid;
}

TrustCheck CheckTrust(const TrustPaths& paths) {
  TrustCheck check;
  if (!RunsElevatedOrAsSystem()) return check;
  const std::string me = RunningAccountSid();
  const std::string folder = Check(paths.Folder, TrustKind::Folder, false, me);
  const std::string linkFolder =
      paths.LinkFolder.empty() ? std::string() : Check(paths.LinkFolder, TrustKind::Folder, false, me);
  for (const std::string& finding : {Check(paths.Profile, TrustKind::File, true, me),
                                     Check(paths.Exe, TrustKind::File, false, me), folder, linkFolder}) {
    if (!finding.empty()) check.Findings.push_back(finding);
  }
  check.LogTrusted = folder.empty() && Check(paths.Log, TrustKind::File, true, me).empty();
  if (!check.Findings.empty()) check.Warning = TrustWarning(check.Findings, DisplayPath(paths.Folder));
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
