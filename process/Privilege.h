// A privilege of the process token turned on for one pass and put back as it was: the debug privilege
// is held only while a run opens and ends processes, never while the program idles.
#pragma once

namespace tarnwick {

class PrivilegeApi {
 public:
  virtual ~PrivilegeApi() = default;
  // Turns the privilege on; false when the token does not hold it (not an elevated administrator).
  // wasEnabled tells whether it was on already.
  [[nodiscard]] virtual bool Enable(bool& wasEnabled) = 0;
  // Turns it off again.
  virtual void Disable() = 0;
};

// On while the scope lives, then as it was before; nothing at all without an api.
class PrivilegeScope {
 public:
  explicit PrivilegeScope(PrivilegeApi* api) : api_(api) {
    if (api_ != nullptr) held_ = api_->Enable(wasEnabled_);
  }
  ~PrivilegeScope() {
    if (held_ && !wasEnabled_) api_->Disable();
  }
  PrivilegeScope(const PrivilegeScope&) = delete;
  PrivilegeScope& operator=(const PrivilegeScope&) = delete;
  bool Held() const { return held_; }

 private:
  PrivilegeApi* api_;
  bool wasEnabled_ = false;
  bool held_ = false;
};

}  // namespace tarnwick
