// A watchdog for the tests: starts the program it is given (with the arguments after it) and starts it
// again each time it ends, until it is itself ended. With "--once" first it starts the program and leaves
// at once: what it started is then an orphan whose parent is gone.
#include <windows.h>

#include <cstring>
#include <string>

int main(int argc, char** argv) {
  const bool once = argc > 1 && std::strcmp(argv[1], "--once") == 0;
  const int first = once ? 2 : 1;
  if (argc <= first) return 1;
  std::string commandLine;
  for (int i = first; i < argc; ++i) commandLine += std::string(i > first ? " \"" : "\"") + argv[i] + "\"";
  for (;;) {
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
