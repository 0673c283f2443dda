// A watchdog for the tests: starts the program it is given and starts it again each time it ends (after
// the delay in milliseconds that may follow), until it is itself ended.
#include <windows.h>

#include <cstdlib>
#include <string>

int main(int argc, char** argv) {
  if (argc < 2) return 1;
  std::string commandLine = std::string("\"") + argv[1] + "\"";
  const DWORD delayMs = argc > 2 ? static_cast<DWORD>(std::strtoul(argv[2], nullptr, 10)) : 0;
  for (bool first = true;; first = false) {
    if (!first) Sleep(delayMs);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(argv[1], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &info)) {
      return 2;
    }
    CloseHandle(info.hThread);
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
  }
}
