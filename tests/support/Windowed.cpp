// A program with a window, copied under a listed image name: it saves (writes "<exe>.mark") and exits when
// asked to close (WM_ENDSESSION or WM_CLOSE). Its words change that:
//   refuse      answers the end-session question with FALSE and ignores WM_CLOSE: only a forced end takes it
//   hidden      its windows are never shown, as a program that waits in the notification area
//   windows:N   N top-level windows instead of one
//   slow:MS     takes MS to answer each end-session question
//   save:MS     takes MS to save once told to close
#include <windows.h>

#include <cstdlib>
#include <cstring>

namespace {

bool gRefuses = false;
DWORD gAnswerMs = 0;
DWORD gSaveMs = 0;

void WriteMark(const char* how) {
  Sleep(gSaveMs);
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
      Sleep(gAnswerMs);
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
      ExitProcess(0);
    default:
      return DefWindowProcA(hwnd, message, wParam, lParam);
  }
}

// The number after "word:" in the arguments; 0 without it.
DWORD Option(const char* args, const char* word) {
  const char* at = std::strstr(args, word);
  return at != nullptr ? static_cast<DWORD>(std::atol(at + std::strlen(word))) : 0;
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR args, int) {
  const char* words = args != nullptr ? args : "";
  gRefuses = std::strstr(words, "refuse") != nullptr;
  gAnswerMs = Option(words, "slow:");
  gSaveMs = Option(words, "save:");
  const DWORD count = Option(words, "windows:") > 0 ? Option(words, "windows:") : 1;
  WNDCLASSA windowClass{};
  windowClass.lpfnWndProc = &WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = "TarnwickTestWindowed";
  RegisterClassA(&windowClass);
  for (DWORD i = 0; i < count; ++i) {
    HWND hwnd = CreateWindowA("TarnwickTestWindowed", gRefuses ? "Refuses" : "Cooperates", WS_OVERLAPPEDWINDOW, 0, 0,
                              200, 100, nullptr, nullptr, instance, nullptr);
    if (std::strstr(words, "hidden") == nullptr) ShowWindow(hwnd, SW_SHOWNOACTIVATE);
  }
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return 0;
}
