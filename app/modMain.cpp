// The program entry: one Tarnwick per folder, the start mode from the first argument, then the
// main window's message loop for as long as the window is loaded; its result is the exit code.
#include <windows.h>
#include <commctrl.h>

#include "app/AppWin32.h"
#include "app/CommandLine.h"
#include "common/ProcedureEdge.h"
#include "process/ProcessWin32.h"
#include "ui/frmMain.h"

using namespace tarnwick;

namespace {

void DebugOutput(const std::string& message) { OutputDebugStringA((message + "\n").c_str()); }

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InstanceGuard guard;
  // Silently: the running copy is neither activated nor told; the exit code tells a script.
  if (guard.AnotherRuns()) return kExitAnotherRuns;
  // A Win32 program has no automation starts, so it always runs stand-alone.

  SetExceptionReporter(&DebugOutput);
  UseSystemCaseFolding();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  ArgSlots slots;
  const int tokens = SplitCommandLine(ArgumentsAfterProgramName(GetCommandLineA()), slots);
  const StartMode mode = ChooseStartMode(slots, tokens);
  AutoMode = (mode == StartMode::Auto);

  ProcessWin32 processes;
  MainWindowSetup setup;
  setup.autoMode = AutoMode;
  setup.exePath = ExePath();
  setup.exeName = ExeName();
  setup.profilePath = ProfilePath();
  setup.processes = &processes;
  setup.terminatePass = FindProcessPass(processes);
  FrmMain main(std::move(setup));
  // Without its window the program has no timer and no way to end: a message loop would wait forever,
  // holding the folder's mark, and every later run would do nothing.
  if (main.Handle() == nullptr) {
    guard.Release();
    // Unloaded already: a session ended while a message of the load was open.
    return main.WasUnloaded() ? 0 : kExitNoWindow;
  }
  switch (mode) {
    case StartMode::Tray:
      main.StartInTray();
      break;
    case StartMode::Auto:
      main.SetTimerEnabled(true);  // the window stays hidden; the first tick is the whole run
      break;
    case StartMode::Plain:
      main.Show();
      break;
  }
  return main.RunMessageLoop();
}
