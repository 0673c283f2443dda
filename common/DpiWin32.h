// DPI of a window and the DPI-aware system calls, loaded at run time where older Windows lacks them.
#pragma once
#include <windows.h>

#include "common/Win32Handles.h"

namespace tarnwick {

// The DPI the window is shown at (the system's where per-window DPI is unknown).
int WindowDpi(HWND hwnd);

// The system's message font (as in message boxes), sized for the DPI.
FontHandle CreateMessageFont(int dpi);

// The window rectangle that gives the client rectangle `rect` at the DPI.
void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, bool hasMenu, int dpi);

// A system metric (SM_CXSMICON and the like) for the DPI.
int SystemMetricForDpi(int index, int dpi);

}  // namespace tarnwick
