// The debug privilege on the real token: turned on, told whether it was on already, and off again.
#include <windows.h>

#include <gtest/gtest.h>

#include <vector>

#include "process/PrivilegeWin32.h"

namespace tarnwick {
namespace {

bool DebugPrivilegeOn() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  DWORD size = 0;
  GetTokenInformation(token, TokenPrivileges, nullptr, 0, &size);
  std::vector<unsigned char> buffer(size);
  const bool read = GetTokenInformation(token, TokenPrivileges, buffer.data(), size, &size) != FALSE;
  CloseHandle(token);
  LUID debug{};
  if (!read || !LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &debug)) return false;
  const auto* privileges = reinterpret_cast<const TOKEN_PRIVILEGES*>(buffer.data());
  for (DWORD i = 0; i < privileges->PrivilegeCount; ++i) {
    const LUID_AND_ATTRIBUTES& p = privileges->Privileges[i];
    if (p.Luid.LowPart == debug.LowPart && p.Luid.HighPart == debug.HighPart) {
      return (p.Attributes & SE_PRIVILEGE_ENABLED) != 0;
    }
  }
  return false;
}

TEST(Privilege, TheScopeTurnsTheDebugPrivilegeOnAndPutsItBack) {
  DebugPrivilegeWin32 debug;
  debug.Disable();
  ASSERT_FALSE(DebugPrivilegeOn());
  {
    const PrivilegeScope outer(&debug);
    ASSERT_TRUE(outer.Held());  // Wine runs every program as an elevated administrator
    EXPECT_TRUE(DebugPrivilegeOn());
    {
      const PrivilegeScope inner(&debug);  // it was on already: the inner scope leaves it on
      EXPECT_TRUE(inner.Held());
    }
    EXPECT_TRUE(DebugPrivilegeOn());
  }
  EXPECT_FALSE(DebugPrivilegeOn());
}

}  // namespace
}  // namespace tarnwick
