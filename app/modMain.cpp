// The program entry: one Tarnwick per folder, the start mode from the first argument, then either a run
// without any window ("-k", "-l") or the main window's message loop for as long as the window is loaded;
// its result is the exit code.
#include <windows.h>
#include <commctrl.h>

#include "app/AppWin32.h"
#include "app/CommandLine.h"
#include "app/RunOptionsWin32.h"
#include "app/RunWin32.h"
#include "common/ProcedureEdge.h"
#include "process/ProcessWin32.h"
#include "ui/frmMain.h"

using namespace tarnwick;

namespace {

void DebugOutput(const std::string& message) { OutputDebugStringA((message + "\n").c_str()); }

bool IsRun(StartMode mode) { return mode == StartMode::Auto || mode == StartMode::Kill || mode == StartMode::List; }

RunSwitch SwitchOf(StartMode mode) {
  return mode == StartMode::Kill ? RunSwitch::Kill : mode == StartMode::List ? RunSwitch::List : RunSwitch::Auto;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  ArgSlots slots;
  const int tokens = SplitCommandLine(ArgumentsAfterProgramName(GetCommandLineA()), slots);
  const StartMode mode = ChooseStartMode(slots, tokens);
  EnableDebugPrivilege();
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
  // Ending every instance and listing need no window at all (and no display).
  if (mode == StartMode::Kill || mode == StartMode::List) return RunSwitchNow(SwitchOf(mode), ListedImages(), options);

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);
  AutoMode = (mode == StartMode::Auto);

  ProcessWin32 processes;
  MainWindowSetup setup;
  setup.autoMode = AutoMode;
  setup.exePath = ExePath();
  setup.exeName = ExeName();
  setup.profilePath = ProfilePath();
  setup.processes = &processes;
  setup.unattendedPass = [options](const std::vector<std::string>& images) {
    return RunSwitchNow(RunSwitch::Auto, images, options);
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
  return main.RunMessageLoop();
}
