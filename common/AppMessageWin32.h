// The program's message boxes: modal, and captioned with the application title.
#pragma once
#include <windows.h>

namespace tarnwick {

inline constexpr const char* kAppTitle = "Tarnwick";

// The button pressed, as MessageBoxA gives it.
inline int AppMessageBox(HWND owner, const char* text, UINT type) { return MessageBoxA(owner, text, kAppTitle, type); }

}  // namespace tarnwick
