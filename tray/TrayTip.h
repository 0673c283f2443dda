// The tip of the notification-area icon as the shell's fixed 64-character field holds it.
#pragma once
#include <cstddef>
#include <string>
#include <string_view>

namespace tarnwick {

inline constexpr std::size_t kTipFieldLength = 64;

// Exactly kTipFieldLength characters: a shorter text is filled up with blanks, a longer one keeps its
// first kTipFieldLength. The caller's closing NUL stays when it fits, so the shell ignores the blanks.
std::string FitTipField(std::string_view text);

}  // namespace tarnwick
