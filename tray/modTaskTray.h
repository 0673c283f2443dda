// The notification-area icon and the window procedure that serves it while it is shown.
#pragma once
#include <windows.h>

#include <string>

namespace tarnwick {

class FrmMain;

void AddTrayIcon(FrmMain& window, const std::string& tipText);
void RemoveTrayIcon(FrmMain& window);
LRESULT CALLBACK TrayWndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

}  // namespace tarnwick
