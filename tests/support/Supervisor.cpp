// A watchdog for the tests: starts the program it is given (with the arguments after it) and starts it
// again each time it ends, until it is itself ended; "--delay:MS" first waits that long before each restart.
// With "--once" first it starts the program and leaves at once: what it started is then an orphan whose
// parent is gone.
#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>

int main(int argc, char** argv) {
  int first = 1;
  bool once = false;
  DWORD delayMs = 0;
  for (; first < argc; ++first) {
    if (std::strcmp(argv[first], "--once") == 0) {
      once = true;
    } else if (std::strncmp(argv[first], "--delay:", 8) == 0) {
      delayMs = static_cast<DWORD>(std::strtoul(argv[first] + 8, nullptr, 10));
    } else {
      break;
    }
  }
  if (argc <= first) return 1;
  std::string commandLine;
  for (int i = first; i < argc; ++i) commandLine += std::string(i > first ? " \"" : "\"") + argv[i] + "\"";
  for (bool start = true;; start = false) {
    if (!start) Sleep(delayMs);
    STARTUPINFOA startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION info{};
    if (!CreateProcessA(argv[first], commandLine.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                        &info)) {
      return 2;
    }
    CloseHandle(info.hThread);
    if (once) return 0;
    WaitForSingleObject(info.hProcess, INFINITE);
    CloseHandle(info.hProcess);
  }
}
