// A Win32 service for the tests: it reports running; on its stop request it writes a marker file beside
// its exe (the exe's path plus ".stop", holding the moment of the request), then stops, or, when started
// with the argument "ignore", keeps running. Another argument names the service in a shared process.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

namespace {

SERVICE_STATUS_HANDLE gStatusHandle = nullptr;
HANDLE gStopped = nullptr;
bool gIgnoreStop = false;
char gName[256] = "";

void Report(DWORD state) {
  SERVICE_STATUS status{};
  status.dwServiceType = SERVICE_WIN32_OWN_PROCESS;
  status.dwCurrentState = state;
  status.dwControlsAccepted = state == SERVICE_RUNNING ? SERVICE_ACCEPT_STOP : 0;
  status.dwWaitHint = state == SERVICE_STOP_PENDING ? 2000 : 0;
  SetServiceStatus(gStatusHandle, &status);
}

void WriteMarker() {
  char path[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  const std::string marker = std::string(path, length) + ".stop";
  FILETIME now{};
  GetSystemTimeAsFileTime(&now);
  char text[32];
  std::snprintf(text, sizeof(text), "%llu",
                (static_cast<unsigned long long>(now.dwHighDateTime) << 32) | now.dwLowDateTime);
  HANDLE file = CreateFileA(marker.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  WriteFile(file, text, static_cast<DWORD>(std::strlen(text)), &written, nullptr);
  CloseHandle(file);
}

DWORD WINAPI Handler(DWORD control, DWORD, void*, void*) {
  if (control == SERVICE_CONTROL_STOP) {
    WriteMarker();
    if (!gIgnoreStop) {
      Report(SERVICE_STOP_PENDING);
      SetEvent(gStopped);
    }
  }
  return NO_ERROR;
}

void WINAPI ServiceMain(DWORD argc, char** argv) {
  gStatusHandle = RegisterServiceCtrlHandlerExA(argc > 0 ? argv[0] : gName, &Handler, nullptr);
  Report(SERVICE_RUNNING);
  WaitForSingleObject(gStopped, INFINITE);
  Report(SERVICE_STOPPED);
}

}  // namespace

int main(int argc, char** argv) {
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "ignore") == 0) {
      gIgnoreStop = true;
    } else {
      std::snprintf(gName, sizeof(gName), "%s", argv[i]);
    }
  }
  gStopped = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  SERVICE_TABLE_ENTRYA table[] = {{gName, &ServiceMain}, {nullptr, nullptr}};
  return StartServiceCtrlDispatcherA(table) ? 0 : 1;
}
