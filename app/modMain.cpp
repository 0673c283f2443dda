// The program entry: one instance per executable, the start mode from the first argument, then the
// main window's message loop for as long as the window is loaded.
#include <windows.h>
#include <commctrl.h>

#include "app/AppWin32.h"
#include "app/CommandLine.h"
#include "tray/modTaskTray.h"
#include "ui/frmMain.h"

using namespace tarnwick;

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  InstanceGuard guard;
  if (guard.AnotherRuns()) return 0;  // silently: the running copy is neither activated nor told
  // A Win32 program has no automation starts, so it always runs stand-alone.

  UseSystemCaseFolding();
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  AutoMode = false;
  FrmMain& main = FrmMain::Instance();
  ArgSlots slots;
  const int tokens = SplitCommandLine(ArgumentsAfterProgramName(GetCommandLineA()), slots);
  switch (ChooseStartMode(slots, tokens)) {
    case StartMode::Tray:
      AddTrayIcon(main, FrmMain::TrayTipText());  // loads the window
      main.Hide();
      break;
    case StartMode::Auto:
      AutoMode = true;
      main.SetTimerEnabled(true);  // loads the window, which stays hidden; the first tick ends the run
      break;
    case StartMode::Plain:
      main.Show();
      break;
  }
  return main.RunMessageLoop();
}
