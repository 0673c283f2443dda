// SeDebugPrivilege of the process token, behind the privilege interface.
#pragma once
#include "process/Privilege.h"

namespace tarnwick {

// Lets a pass open services' and other users' processes where the token holds the privilege (an elevated
// administrator, or SYSTEM).
class DebugPrivilegeWin32 final : public PrivilegeApi {
 public:
  bool Enable(bool& wasEnabled) override;
  void Disable() override;
};

}  // namespace tarnwick
