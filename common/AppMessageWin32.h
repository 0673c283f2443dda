// The program's message boxes: modal, and captioned with the application title.
#pragma once
#include <windows.h>

#include <string_view>

#include "common/WideTextWin32.h"

namespace tarnwick {

inline constexpr const wchar_t* kAppTitle = L"Tarnwick";

// The button pressed, as MessageBoxW gives it; the text is UTF-8, so a name in any script shows as it is.
inline int AppMessageBox(HWND owner, std::string_view text, UINT type) {
  return MessageBoxW(owner, WideFromUtf8(text).c_str(), kAppTitle, type);
}

}  // namespace tarnwick
