// The trust rule over an access list, and its words.
#include "app/Trust.h"

#include <map>

namespace tarnwick {
namespace {

constexpr std::uint32_t kGenericAll = 0x10000000;
constexpr std::uint32_t kGenericWrite = 0x40000000;
constexpr std::uint32_t kFileAllAccess = 0x1F01FF;
constexpr std::uint32_t kFileGenericWrite = 0x120116;
constexpr std::uint32_t kWriteDac = 0x40000;
constexpr const char* kEveryoneSid = "S-1-1-0";
constexpr const char* kOwnerRightsSid = "S-1-3-4";
constexpr const char* kAnonymousSid = "S-1-5-7";

std::uint32_t Mapped(std::uint32_t mask) {
  if ((mask & kGenericAll) != 0) mask |= kFileAllAccess;
  if ((mask & kGenericWrite) != 0) mask |= kFileGenericWrite;
  return mask & 0x00FFFFFF;
}

bool IsTrusted(std::string_view sid, std::string_view runningAccountSid) {
  return sid == kSystemSid || sid == kAdministratorsSid || sid == kTrustedInstallerSid || sid == runningAccountSid;
}

// CREATOR OWNER and CREATOR GROUP stand for whoever makes something inside later: on the object itself they
// grant nothing.
bool IsCreatorPlaceholder(std::string_view sid) { return sid == "S-1-3-0" || sid == "S-1-3-1"; }

const char* WellKnownName(std::string_view sid) {
  static const std::pair<const char*, const char*> kNames[] = {
      {"S-1-1-0", "Everyone"},
      {"S-1-5-11", "Authenticated Users"},
      {"S-1-5-32-545", "Users"},
      {"S-1-5-32-546", "Guests"},
      {"S-1-5-32-547", "Power Users"},
      {"S-1-5-4", "INTERACTIVE"},
      {"S-1-5-2", "NETWORK"},
      {"S-1-5-7", "ANONYMOUS LOGON"},
      {"S-1-2-0", "LOCAL"},
      {"S-1-15-2-1", "ALL APPLICATION PACKAGES"},
      {"S-1-5-32-555", "Remote Desktop Users"},
  };
  for (const auto& [known, name] : kNames) {
    if (sid == known) return name;
  }
  return nullptr;
}

}  // namespace

std::vector<Changer> WhoCanChange(const ObjectSecurity& object, std::string_view runningAccountSid) {
  const std::uint32_t concern = object.Kind == TrustKind::Folder       ? kFolderChangeRights
                                : object.Kind == TrustKind::PathFolder ? kPathFolderChangeRights
                                                                       : kFileChangeRights;
  std::vector<Changer> changers;
  if (!object.HasAccessList) return {{.Sid = kEveryoneSid, .Rights = concern}};

  bool ownerRightsRule = false;
  std::map<std::string, std::uint32_t> denied;
  std::vector<std::string> order;
  std::map<std::string, std::uint32_t> granted;
  for (const AccessRule& rule : object.Rules) {
    if (rule.InheritOnly || IsCreatorPlaceholder(rule.Sid)) continue;
    // OWNER RIGHTS replaces the owner's own rights, whoever the owner is.
    const bool forOwner = rule.Sid == kOwnerRightsSid;
    ownerRightsRule = ownerRightsRule || forOwner;
    const std::string& sid = forOwner ? object.OwnerSid : rule.Sid;
    const std::uint32_t mask = Mapped(rule.Mask);
    if (!rule.Allow) {
      denied[sid] |= mask;
      continue;
    }
    // ANONYMOUS LOGON is no member of Everyone: a deny for Everyone leaves its allow as it is.
    const std::uint32_t everyoneDeny = sid == kAnonymousSid ? 0 : denied[kEveryoneSid];
    const std::uint32_t gained = mask & ~denied[sid] & ~everyoneDeny;
    if (gained == 0) continue;
    if (!granted.contains(sid)) order.push_back(sid);
    granted[sid] |= gained;
  }

  if (!ownerRightsRule && !object.OwnerSid.empty() && !IsTrusted(object.OwnerSid, runningAccountSid)) {
    changers.push_back(
        {.Sid = object.OwnerSid, .Rights = kWriteDac | (granted[object.OwnerSid] & concern), .AsOwner = true});
  }
  for (const std::string& sid : order) {
    const std::uint32_t rights = granted[sid] & concern;
    if (rights == 0 || IsTrusted(sid, runningAccountSid)) continue;
    if (!changers.empty() && changers.front().AsOwner && changers.front().Sid == sid) continue;
    changers.push_back({.Sid = sid, .Rights = rights});
  }
  return changers;
}

PathVerdict CheckPathChain(std::vector<PathFolderRead> chain, std::string_view runningAccountSid) {
  PathVerdict verdict;
  for (std::size_t i = 0; i < chain.size(); ++i) {
    PathFolderRead& folder = chain[i];
    verdict.Linked = verdict.Linked || folder.Link;
    folder.Security.Kind = i == 0 ? TrustKind::Folder : TrustKind::PathFolder;
    const std::vector<Changer> changers =
        folder.Unreadable.empty() ? WhoCanChange(folder.Security, runningAccountSid) : std::vector<Changer>{};
    if (folder.Unreadable.empty() && changers.empty()) continue;
    verdict.Findings.push_back(folder.Unreadable.empty() ? DescribeFinding(folder.Path, folder.Security.Kind, changers)
                                                         : folder.Path + " could not be checked: " + folder.Unreadable);
    verdict.LockDown = i;
  }
  return verdict;
}

std::vector<std::wstring> FoldersUpTo(std::wstring folder, std::size_t rootLength) {
  std::vector<std::wstring> folders;
  for (;;) {
    folders.push_back(folder);
    if (folder.size() <= rootLength || folder.size() < 2) break;
    const std::size_t slash = folder.rfind(L'\\', folder.size() - 2);
    if (slash == std::wstring::npos || slash + 1 < rootLength) break;
    folder.resize(slash + 1);
  }
  return folders;
}

std::string DescribeChanger(const Changer& changer, TrustKind kind) {
  struct Word {
    std::uint32_t Right;
    const char* File;
    const char* Folder;
  };
  static const Word kWords[] = {
      {0x2, "write", "add files"},
      {0x4, "append", "add folders"},
      {0x40, nullptr, "delete what is in it"},
      {0x10000, "delete", "delete it"},
      {0x40000, "change its permissions", "change its permissions"},
      {0x80000, "take ownership", "take ownership"},
  };
  std::string rights;
  for (const Word& word : kWords) {
    const char* text = kind == TrustKind::File ? word.File : word.Folder;
    if (text == nullptr || (changer.Rights & word.Right) == 0) continue;
    rights += (rights.empty() ? "" : ", ") + std::string(text);
  }
  const char* name = WellKnownName(changer.Sid);
  std::string who = changer.AsOwner ? "its owner " : "";
  who += name != nullptr ? std::string(name) + " (" + changer.Sid : changer.Sid + " (";
  if (name != nullptr) who += ": ";
  return who + rights + ")";
}

std::string DescribeFinding(std::string_view path, TrustKind kind, const std::vector<Changer>& changers) {
  std::string text = std::string(path) + " can be changed by ";
  for (std::size_t i = 0; i < changers.size(); ++i) {
    text += (i == 0 ? "" : ", ") + DescribeChanger(changers[i], kind);
  }
  return text;
}

std::string TrustWarning(const std::vector<std::string>& findings, std::string_view folder, bool suggestMove) {
  std::string text = "not safe to act on: ";
  for (std::size_t i = 0; i < findings.size(); ++i) {
    if (i > 0) text += "; ";
    text += findings[i];
  }
  // icacls takes a folder without its trailing backslash, quoted; a drive's root keeps it ("C:" alone is
  // the drive's current folder) and goes unquoted (a backslash before a closing quote makes it a quote).
  const bool driveRoot = folder.size() == 3 && folder[1] == ':' && folder[2] == '\\';
  if (!driveRoot && folder.size() > 1 && folder.back() == '\\') folder.remove_suffix(1);
  const std::string quoted = driveRoot ? std::string(folder) : '"' + std::string(folder) + '"';
  text += ". What to do: ";
  if (suggestMove) {
    text += "move Tarnwick to a folder that only administrators can change, such as C:\\Program Files\\Tarnwick; or ";
  }
  text += "lock " + quoted + " down as an administrator: icacls ";
  text += quoted + " /reset /T /C && icacls " + quoted + " /setowner *S-1-5-32-544 /T /C && icacls " + quoted;
  text += " /inheritance:r /grant:r *S-1-5-18:(OI)(CI)F *S-1-5-32-544:(OI)(CI)F *S-1-5-32-545:(OI)(CI)RX";
  return text;
}

}  // namespace tarnwick
