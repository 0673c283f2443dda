// A program with a window, copied under a listed image name: it saves (writes "<exe>.mark") and exits when
// asked to close (WM_ENDSESSION or WM_CLOSE). Started with any argument it refuses: it answers the
// end-session question with FALSE and ignores WM_CLOSE, so only a forced end takes it.
#include <windows.h>

#include <cstring>

namespace {

bool gRefuses = false;

void WriteMark(const char* how) {
  char path[MAX_PATH + 8] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  lstrcpyA(path + length, ".mark");
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
  DWORD written = 0;
  WriteFile(file, how, static_cast<DWORD>(std::strlen(how)), &written, nullptr);
  CloseHandle(file);
}

LRESULT CALLBACK WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_QUERYENDSESSION:
      return gRefuses ? FALSE : TRUE;
    case WM_ENDSESSION:
      if (wParam && !gRefuses) {
        WriteMark("endsession");
        ExitProcess(0);
      }
      return 0;
    case WM_CLOSE:
      if (gRefuses) return 0;
      WriteMark("close");
      DestroyWindow(hwnd);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int) {
  gRefuses = args != nullptr && args[0] != '\0';
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "TarnwickTestWindowed";
  RegisterClassA(&windowClass);
  HWND hwnd = CreateWindowA("TarnwickTestWindowed", gRefuses ? "Refuses" : "Cooperates", WS_OVERLAPPEDWINDOW, 0, 0, 200,
                            100, nullptr, nullptr, instance, nullptr);
  ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
