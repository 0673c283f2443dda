// Who other than the administrators can change a file or folder, from its owner and access list: an
// elevated run acts only on a list, an exe and a folder that no one else can change.
#pragma once
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace tarnwick {

// A file; the exe's own folder; a folder above it on the path, where only removing, renaming or replacing
// it (and so the path below it) is of concern.
enum class TrustKind { File, Folder, PathFolder };

// One access rule of an object's access list, in the list's order.
struct AccessRule {
  std::string Sid;  // "S-1-1-0"
  bool Allow = true;
  std::uint32_t Mask = 0;    // access rights as Windows numbers them, generic rights included
  bool InheritOnly = false;  // for what is made inside a folder, not for the folder itself
};

struct ObjectSecurity {
  TrustKind Kind = TrustKind::File;
  std::string OwnerSid;
  bool HasAccessList = true;  // without one (a null DACL) everyone may do anything
  std::vector<AccessRule> Rules;
};

// Someone who can change the object: the rights of concern they hold, or as its owner its permissions.
struct Changer {
  std::string Sid;
  std::uint32_t Rights = 0;
  bool AsOwner = false;

  bool operator==(const Changer&) const = default;
};

// The rights of concern: on a file write, append, delete, change of permissions or owner; on a folder
// adding and deleting what is in it, and the same over the folder itself.
inline constexpr std::uint32_t kFileChangeRights = 0x2 | 0x4 | 0x10000 | 0x40000 | 0x80000;
inline constexpr std::uint32_t kFolderChangeRights = 0x2 | 0x4 | 0x40 | 0x10000 | 0x40000 | 0x80000;
// On a folder of the path: deleting what is in it (the next folder down), deleting or renaming it, and
// changing its permissions or owner (which gives the rest).
inline constexpr std::uint32_t kPathFolderChangeRights = 0x40 | 0x10000 | 0x40000 | 0x80000;

inline constexpr const char* kSystemSid = "S-1-5-18";
inline constexpr const char* kAdministratorsSid = "S-1-5-32-544";
inline constexpr const char* kTrustedInstallerSid = "S-1-5-80-956008885-3418522649-1831038044-1853292631-2271478464";

// Everyone but SYSTEM, Administrators, TrustedInstaller and the account that runs Tarnwick who holds a right
// of concern, in the order of the access list; an owner outside them comes first (it may always change the
// permissions, unless an OWNER RIGHTS rule says otherwise). A deny rule for the same SID, or for Everyone,
// that comes earlier takes the right away, as Windows decides.
std::vector<Changer> WhoCanChange(const ObjectSecurity& object, std::string_view runningAccountSid);

// One folder of the path as read from its handle: its path as the log writes it, and its security, or why
// it could not be read.
struct PathFolderRead {
  std::string Path;
  ObjectSecurity Security{};
  std::string Unreadable{};  // not empty: it could not be read, which fails
  bool Link = false;         // a link or a junction
};

struct PathVerdict {
  std::vector<std::string> Findings;
  std::size_t LockDown = 0;  // the highest folder that failed, to be locked down (0: Tarnwick's own)
  bool Linked = false;       // a folder of the path is a link or junction: where it leads must pass too
};

// Tarnwick's own folder first, then each folder above it up to the volume's root. The first is checked
// for every right of concern on a folder; each further one only for what lets another replace or
// retarget the path below it: deleting what is in it, deleting or renaming it, changing its permissions
// or owner.
PathVerdict CheckPathChain(std::vector<PathFolderRead> chain, std::string_view runningAccountSid);

// The folders from `folder` (ending in a backslash) up to its root, which is its first rootLength
// characters: "C:\A\B\" with 3 gives C:\A\B\, C:\A\, C:\.
std::vector<std::wstring> FoldersUpTo(std::wstring folder, std::size_t rootLength);

// "Everyone (S-1-1-0: write, append)"; a SID without a well-known name is shown alone.
std::string DescribeChanger(const Changer& changer, TrustKind kind);

// "C:\Tools\Tarnwick.ini can be changed by Everyone (S-1-1-0: write)": the object's path as the log writes it.
std::string DescribeFinding(std::string_view path, TrustKind kind, const std::vector<Changer>& changers);

// The warning a run carries: each finding, then what to do, with the icacls commands that lock the folder
// down (the highest folder of the path that failed, which may be a parent of Tarnwick's own). Moving to
// C:\Program Files\Tarnwick is suggested only where Tarnwick is not there already.
std::string TrustWarning(const std::vector<std::string>& findings, std::string_view folder, bool suggestMove = true);

}  // namespace tarnwick
