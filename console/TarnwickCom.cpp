// Tarnwick.com: the console front of Tarnwick.exe. Typed at a prompt, "Tarnwick -l" runs this first (cmd
// and PowerShell try .COM before .EXE); it runs Tarnwick.exe from its own folder with the same arguments
// and its own standard handles, waits, and returns its exit code, so that ERRORLEVEL and $LASTEXITCODE
// are set. Tarnwick.exe writes to a console handed to it in Unicode.
#include <windows.h>

#include <string>

#include "common/GrowBuffer.h"
#include "common/Text.h"

using tarnwick::AfterProgramName;
using tarnwick::SizedText;

namespace {

HANDLE child = nullptr;

void WriteError(const wchar_t* text) {
  HANDLE err = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0, written = 0;
  if (GetConsoleMode(err, &mode)) {
    WriteConsoleW(err, text, static_cast<DWORD>(wcslen(text)), &written, nullptr);
    return;
  }
  char narrow[512];
  const int size = WideCharToMultiByte(GetOEMCP(), 0, text, -1, narrow, sizeof(narrow), nullptr, nullptr);
  if (size > 1) WriteFile(err, narrow, static_cast<DWORD>(size - 1), &written, nullptr);
}

// Ctrl+C or Ctrl+Break: the run is ended where it stands, and the console is told.
BOOL WINAPI OnControl(DWORD type) {
  if (type != CTRL_C_EVENT && type != CTRL_BREAK_EVENT) return FALSE;
  if (child != nullptr) TerminateProcess(child, STATUS_CONTROL_C_EXIT);
  WriteError(L"Tarnwick: stopped by Ctrl+C; the run was cut short (see Tarnwick.log)\r\n");
  return TRUE;
}

}  // namespace

int main() {
  std::wstring exe = SizedText([](wchar_t* data, DWORD size) { return GetModuleFileNameW(nullptr, data, size); });
  if (exe.empty()) return 3;
  exe.replace(exe.find_last_of(L'\\') + 1, std::wstring::npos, L"Tarnwick.exe");
  // The arguments go on untouched, as they were typed.
  std::wstring commandLine = L"\"" + exe + L"\"" + std::wstring(AfterProgramName(GetCommandLineW()));

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
  startup.hStdOutput = GetStdHandle(STD_OUTPUT_HANDLE);
  startup.hStdError = GetStdHandle(STD_ERROR_HANDLE);
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(exe.c_str(), commandLine.data(), nullptr, nullptr, TRUE, 0, nullptr, nullptr, &startup, &info)) {
    WriteError((L"Tarnwick: could not start " + exe + L"\r\n").c_str());
    return 3;
  }
  CloseHandle(info.hThread);
  child = info.hProcess;
  SetConsoleCtrlHandler(&OnControl, TRUE);
  // Tarnwick.exe itself says on the console what a long wait is for.
  WaitForSingleObject(child, INFINITE);
  DWORD code = 3;
  GetExitCodeProcess(child, &code);
  return static_cast<int>(code);
}
