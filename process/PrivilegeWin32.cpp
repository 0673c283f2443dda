// AdjustTokenPrivileges for SeDebugPrivilege, with the state it had before.
#include "process/PrivilegeWin32.h"

#include <windows.h>

#include "common/Win32Handles.h"

namespace tarnwick {
namespace {

// Sets the privilege's state; false when the token lacks it. previous gets whether it was on.
bool Adjust(bool enable, bool* previous) {
  HANDLE raw = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &raw)) return false;
  KernelHandle token(raw);
  TOKEN_PRIVILEGES wanted{};
  wanted.PrivilegeCount = 1;
  wanted.Privileges[0].Attributes = enable ? SE_PRIVILEGE_ENABLED : 0;
  if (!LookupPrivilegeValueA(nullptr, "SeDebugPrivilege", &wanted.Privileges[0].Luid)) return false;
  TOKEN_PRIVILEGES before{};
  DWORD size = 0;
  // Succeeds even for a privilege the token lacks; then it reports ERROR_NOT_ALL_ASSIGNED.
  if (!AdjustTokenPrivileges(token.Get(), FALSE, &wanted, sizeof(before), &before, &size) ||
      GetLastError() != ERROR_SUCCESS) {
    return false;
  }
  // Windows lists the privilege in the previous state only where the call changed it; Wine lists it always.
  if (previous != nullptr) {
    *previous = before.PrivilegeCount == 0 || (before.Privileges[0].Attributes & SE_PRIVILEGE_ENABLED) != 0;
  }
  return true;
}

}  // namespace

bool DebugPrivilegeWin32::Enable(bool& wasEnabled) {
  wasEnabled = false;
  return Adjust(true, &wasEnabled);
}

void DebugPrivilegeWin32::Disable() { (void)Adjust(false, nullptr); }

}  // namespace tarnwick
