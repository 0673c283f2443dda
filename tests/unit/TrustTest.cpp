// The trust rule over access lists as Windows and Wine make them: who other than the administrators and
// the running account can change a file or a folder.
#include <gtest/gtest.h>

#include "app/Trust.h"

namespace tarnwick {
namespace {

constexpr const char* kMe = "S-1-5-21-0-0-0-1000";
constexpr const char* kOther = "S-1-5-21-7-7-7-1001";
constexpr const char* kEveryone = "S-1-1-0";
constexpr const char* kUsers = "S-1-5-32-545";
constexpr const char* kAuthenticated = "S-1-5-11";
constexpr std::uint32_t kRead = 0x1200a9;
constexpr std::uint32_t kFull = 0x1f01ff;
constexpr std::uint32_t kModify = 0x1301bf;

AccessRule Allow(const char* sid, std::uint32_t mask) { return {.Sid = sid, .Allow = true, .Mask = mask}; }
AccessRule Deny(const char* sid, std::uint32_t mask) { return {.Sid = sid, .Allow = false, .Mask = mask}; }
AccessRule ForChildren(const char* sid, std::uint32_t mask) {
  return {.Sid = sid, .Allow = true, .Mask = mask, .InheritOnly = true};
}

TEST(Trust, WhoCanChangeAFileOrFolder) {
  const auto File = TrustKind::File;
  const auto Folder = TrustKind::Folder;
  const std::vector<AccessRule> wineBase = {Allow(kMe, kFull), Allow("S-1-5-18", kFull)};
  const auto with = [&](std::vector<AccessRule> more) {
    std::vector<AccessRule> rules = wineBase;
    rules.insert(rules.end(), more.begin(), more.end());
    return rules;
  };
  struct Case {
    const char* what;
    ObjectSecurity object;
    std::vector<Changer> changers;
  };
  const Case cases[] = {
      {"a 644 file under Wine", {File, kMe, true, with({Allow(kEveryone, kRead)})}, {}},
      {"a 666 file under Wine",
       {File, kMe, true, with({Allow(kEveryone, 0x1301ff)})},
       {{.Sid = kEveryone, .Rights = 0x2 | 0x4 | 0x10000}}},
      {"a 777 folder under Wine",
       {Folder, kMe, true, with({Allow(kEveryone, 0x1301ff)})},
       {{.Sid = kEveryone, .Rights = 0x2 | 0x4 | 0x40 | 0x10000}}},
      {"a folder made under C:\\ by a user",
       {Folder,
        kOther,
        true,
        {Allow("S-1-5-32-544", kFull), Allow(kAuthenticated, kModify), Allow(kUsers, kRead),
         ForChildren("S-1-3-0", kFull)}},
       {{.Sid = kOther, .Rights = 0x40000, .AsOwner = true}, {.Sid = kAuthenticated, .Rights = 0x2 | 0x4 | 0x10000}}},
      {"Program Files: modify only for what is made inside, by TrustedInstaller",
       {Folder,
        kTrustedInstallerSid,
        true,
        {Allow(kTrustedInstallerSid, kFull), Allow("S-1-5-32-544", kModify), Allow(kUsers, kRead),
         ForChildren(kUsers, 0x10000000), Allow("S-1-3-0", 0x10000000)}},
       {}},
      {"a deny for the same SID before its allow",
       {File, kMe, true, with({Deny(kUsers, 0x40000000 | 0xd0000), Allow(kUsers, kFull)})},
       {}},
      {"a deny for Everyone before another's allow",
       {File, kMe, true, with({Deny(kEveryone, kFileChangeRights), Allow(kOther, kFull)})},
       {}},
      {"ANONYMOUS LOGON is no member of Everyone",
       {File, kMe, true, with({Deny(kEveryone, kFileChangeRights), Allow("S-1-5-7", 0x2)})},
       {{.Sid = "S-1-5-7", .Rights = 0x2}}},
      {"a folder of the path: adding files is no concern, renaming what is in it is",
       {TrustKind::PathFolder, kMe, true, with({Allow(kAuthenticated, 0x6), Allow(kUsers, 0x40)})},
       {{.Sid = kUsers, .Rights = 0x40}}},
      {"a folder made under C:\\ by a user, as a folder of the path: it can be renamed",
       {TrustKind::PathFolder, kMe, true, with({Allow(kAuthenticated, kModify)})},
       {{.Sid = kAuthenticated, .Rights = 0x10000}}},
      {"a deny that comes after the allow",
       {File, kMe, true, with({Allow(kUsers, 0x40000000), Deny(kUsers, 0x40000000)})},
       {{.Sid = kUsers, .Rights = 0x2 | 0x4}}},
      {"several allows for one account add up, in the order of their first",
       {File, kMe, true, with({Allow(kUsers, 0x2), Allow(kOther, 0x4), Allow(kUsers, 0x10000)})},
       {{.Sid = kUsers, .Rights = 0x2 | 0x10000}, {.Sid = kOther, .Rights = 0x4}}},
      {"change of permissions or owner alone",
       {File, kMe, true, with({Allow(kOther, 0x80000)})},
       {{.Sid = kOther, .Rights = 0x80000}}},
      {"adding to a file is no concern on a folder's list rights",
       {Folder, kMe, true, with({Allow(kUsers, 0x1200a9)})},
       {}},
      {"OWNER RIGHTS limits another owner to reading", {File, kOther, true, with({Allow("S-1-3-4", kRead)})}, {}},
      {"no access list at all", {File, kMe, false, {}}, {{.Sid = kEveryone, .Rights = kFileChangeRights}}},
  };
  for (const Case& c : cases) EXPECT_EQ(WhoCanChange(c.object, kMe), c.changers) << c.what;
}

// Who can replace or retarget the path: C:\\Tools\\Tarnwick locked down under a C:\\Tools that users may rename.
TEST(Trust, EveryFolderOfThePathCountsForWhatLetsAnotherReplaceIt) {
  EXPECT_EQ(FoldersUpTo(L"C:\\Tools\\Tarnwick\\", 3),
            (std::vector<std::wstring>{L"C:\\Tools\\Tarnwick\\", L"C:\\Tools\\", L"C:\\"}));
  EXPECT_EQ(FoldersUpTo(L"\\\\srv\\share\\T\\", 12),
            (std::vector<std::wstring>{L"\\\\srv\\share\\T\\", L"\\\\srv\\share\\"}));
  const ObjectSecurity lockedDown{.OwnerSid = kAdministratorsSid, .Rules = {Allow(kUsers, kRead)}};
  // C:\\ itself lets users make folders in it (add folders), which replaces nothing.
  const ObjectSecurity driveRoot{.OwnerSid = kTrustedInstallerSid, .Rules = {Allow(kAuthenticated, 0x4)}};
  const ObjectSecurity madeUnderRoot{.OwnerSid = kOther, .Rules = {Allow(kAuthenticated, kModify)}};
  struct Case {
    const char* what;
    std::vector<PathFolderRead> chain;
    std::size_t findings;
    std::size_t lockDown;
    bool linked;
  };
  const Case cases[] = {
      {"Program Files", {{"C:\\P\\T\\", lockedDown}, {"C:\\P\\", lockedDown}, {"C:\\", driveRoot}}, 0, 0, false},
      {"a parent that users may rename",
       {{"C:\\Tools\\Tarnwick\\", lockedDown}, {"C:\\Tools\\", madeUnderRoot}, {"C:\\", driveRoot}},
       1,
       1,
       false},
      {"the own folder lets users add files, which a parent may",
       {{"C:\\T\\", driveRoot}, {"C:\\", driveRoot}},
       1,
       0,
       false},
      {"a link whose own rights pass; an unreadable root fails",
       {{"C:\\T\\", lockedDown, {}, true}, {"C:\\", driveRoot, "system error 5"}},
       1,
       1,
       true},
  };
  for (const Case& c : cases) {
    const PathVerdict verdict = CheckPathChain(c.chain, kMe);
    EXPECT_EQ(verdict.Findings.size(), c.findings) << c.what;
    EXPECT_EQ(verdict.LockDown, c.lockDown) << c.what;
    EXPECT_EQ(verdict.Linked, c.linked) << c.what;
  }
}

TEST(Trust, TheWarningNamesWhoAndWhatToDo) {
  const std::string finding =
      DescribeFinding("C:\\Tools\\Tarnwick\\", TrustKind::Folder,
                      {{.Sid = kOther, .Rights = 0x40000, .AsOwner = true}, {.Sid = kEveryone, .Rights = 0x2 | 0x40}});
  EXPECT_EQ(finding,
            "C:\\Tools\\Tarnwick\\ can be changed by its owner S-1-5-21-7-7-7-1001 (change its permissions), "
            "Everyone (S-1-1-0: add files, delete what is in it)");
  const std::string warning = TrustWarning({finding}, "C:\\Tools\\");
  EXPECT_NE(warning.find("move Tarnwick to a folder that only administrators can change, such as "
                         "C:\\Program Files\\Tarnwick"),
            std::string::npos);
  EXPECT_NE(warning.find("lock \"C:\\Tools\" down"), std::string::npos) << warning;
  EXPECT_EQ(TrustWarning({finding}, "C:\\Program Files\\", false).find("move"), std::string::npos);
  EXPECT_NE(TrustWarning({finding}, "C:\\").find("lock C:\\ down as an administrator: icacls C:\\ /reset"),
            std::string::npos);
  EXPECT_NE(warning.find("icacls \"C:\\Tools\" /reset /T /C"), std::string::npos) << warning;
  EXPECT_EQ(TrustWarning({"one", "two"}, "C:\\T\\").rfind("not safe to act on: one; two. What to do: ", 0), 0u);
}

}  // namespace
}  // namespace tarnwick
