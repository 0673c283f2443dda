// The program entry: one Tarnwick per folder, the start mode from the first argument, then either a run
// without any window ("-k", "-l") or the main window's message loop for as long as the window is loaded;
// its result is the exit code.
#include <windows.h>
#include <commctrl.h>

#include "app/AppWin32.h"
#include "app/CommandLine.h"
#include "app/RunOptionsWin32.h"
#include "app/RunWin32.h"
#include "app/TrustWin32.h"
#include "common/AppMessageWin32.h"
#include "common/ProcedureEdge.h"
#include "common/SystemFunctionWin32.h"
#include "process/HoldersWin32.h"
#include "process/LogTextWin32.h"
#include "process/PrivilegeWin32.h"
#include "process/ProcessWin32.h"
#include "ui/frmMain.h"

using namespace tarnwick;

namespace {

void DebugOutput(const std::string& message) { OutputDebugStringA((message + "\n").c_str()); }

bool IsRun(StartMode mode) { return mode == StartMode::Auto || mode == StartMode::Kill || mode == StartMode::List; }

RunSwitch SwitchOf(StartMode mode) {
  return mode == StartMode::Kill ? RunSwitch::Kill : mode == StartMode::List ? RunSwitch::List : RunSwitch::Auto;
}

// Every later load, by Tarnwick or by a system DLL on its behalf, searches System32 only, never the exe's
// folder, where anyone who can write it could plant a DLL. Windows 7 without KB2533623 lacks the call.
void LoadDllsFromSystemOnly() {
  using SetDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  const auto setDirectories = SystemFunction<SetDirectoriesFunction>("kernel32.dll", "SetDefaultDllDirectories");
  if (setDirectories != nullptr) setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
}

void ShowTrustWarning(HWND window, const TrustCheck& trust) {
  const std::string text = "Tarnwick runs with administrative rights, and others can change its files: " +
                           trust.Warning.substr(trust.Warning.find(':') + 2);
  AppMessageBox(window != nullptr && IsWindowVisible(window) ? window : nullptr, text.c_str(), MB_OK | MB_ICONWARNING);
}

}  // namespace

static int StartTarnwick() {
  UseSystemLogText();
  ArgSlots slots;
  const int tokens = SplitCommandLine(ArgumentsAfterProgramName(GetCommandLineA()), slots);
  const StartMode mode = ChooseStartMode(slots, tokens);
  // The switches' folder and limits: a command line that cannot be followed ends nothing.
  RunOptions options;
  std::string problem;
  if (IsRun(mode) && !ReadRunOptions(options, problem)) return RefuseBadCommandLine(SwitchOf(mode), problem);

  InstanceGuard guard;
  // The running copy is neither activated nor told; a script learns from the exit code and the log.
  if (guard.AnotherRuns()) return IsRun(mode) ? RefuseSwitch(SwitchOf(mode)) : kExitAnotherRuns;
  // A Win32 program has no automation starts, so it always runs stand-alone.

  SetExceptionReporter(&DebugOutput);
  UseSystemCaseFolding();
  // Elevated, a run acts only on a list, an exe and a folder that no one else can change; checked before the
  // list is read.
  const TrustCheck trust = CheckTrust(OwnTrustPaths());
  if (!trust.Trusted() && (mode == StartMode::Auto || mode == StartMode::Kill)) {
    return RefuseUntrustedSwitch(SwitchOf(mode), trust);
  }
  // Ending every instance and listing need no window at all (and no display).
  if (mode == StartMode::Kill || mode == StartMode::List) {
    return RunSwitchNow(SwitchOf(mode), ListedImages(), trust, options);
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  AutoMode = (mode == StartMode::Auto);

  ProcessWin32 processes;
  DebugPrivilegeWin32 scanRights;
  MainWindowSetup setup;
  setup.autoMode = AutoMode;
  setup.exeName = ExeName();
  setup.profilePath = ProfilePath();
  setup.elevated = RunsElevated();
  setup.note = &WriteNoteLine;
  setup.processes = &processes;
  setup.scanRights = &scanRights;
  setup.unattendedPass = [options](const std::vector<std::string>& images) {
    return RunSwitchNow(RunSwitch::Auto, images, {}, options);
  };
  setup.terminatePass = [](const std::vector<std::string>& images, const KeepAlive& whileWaiting) {
    return EndFromWindow(images, whileWaiting);
  };
  FrmMain main(std::move(setup));
  // Without its window the program has no timer and no way to end: a message loop would wait forever,
  // holding the folder's mark, and every later run would do nothing.
  if (main.Handle() == nullptr) {
    guard.Release();
    // Unloaded already: a session ended while a message of the load was open.
    return main.WasUnloaded() ? 0 : kExitCouldNotStart;
  }
  switch (mode) {
    case StartMode::Tray:
      main.StartInTray();
      break;
    case StartMode::Auto:
      main.SetTimerEnabled(true);  // the window stays hidden; the first tick is the whole run
      break;
    default:
      main.Show();
      break;
  }
  // The window's user sees and confirms what is ended, so the window stays usable; told once per start.
  if (!trust.Trusted()) ShowTrustWarning(main.Handle(), trust);
  return main.RunMessageLoop();
}

// An exception that reaches the entry ends the program with code 3 and a log line, never in std::terminate;
// the folder's mark is released on the way out.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  LoadDllsFromSystemOnly();
  // The holder search's name helper: no window, no guard, no log; it answers its pipe until it closes.
  if (IsNameHelper(GetCommandLineW())) return RunNameHelper(GetCommandLineW());
  try {
    return StartTarnwick();
  } catch (...) {
    LogStartFailure(DescribeCurrentException());
    return kExitCouldNotStart;
  }
}
