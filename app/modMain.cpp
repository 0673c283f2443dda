// The program entry: the command line read once, help and version, the trust check before any line is
// written, one Tarnwick per folder, then either a run without any window ("-k", "-l") or the main window's
// message loop for as long as the window is loaded; its result is the exit code.
#include <windows.h>
#include <commctrl.h>

#include "app/AppWin32.h"
#include "app/EventLogWin32.h"
#include "app/RunOptionsWin32.h"
#include "app/RunWin32.h"
#include "app/TrustWin32.h"
#include "common/AppMessageWin32.h"
#include "common/ProcedureEdge.h"
#include "common/SystemFunctionWin32.h"
#include "process/HoldersWin32.h"
#include "process/PrivilegeWin32.h"
#include "process/ProcessWin32.h"
#include "ui/OwnVersionWin32.h"
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
                           trust.Warning.substr(trust.Warning.find(':') + 2) +
                           "\n\nUntil then the window works read-only: it saves no list" +
                           (trust.LogTrusted ? "." : " and writes no log.");
  AppMessageBox(window != nullptr && IsWindowVisible(window) ? window : nullptr, text.c_str(), MB_OK | MB_ICONWARNING);
}

// Help and version go where a script reads them, else into a box, as Windows programs do.
int Tell(const std::string& text) {
  if (StandardOutputRedirected()) {
    DWORD written = 0;
    const std::string line = text.back() == '\n' ? text : text + "\r\n";
    WriteFile(GetStdHandle(STD_OUTPUT_HANDLE), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
  } else {
    AppMessageBox(nullptr, text.c_str(), MB_OK | MB_ICONINFORMATION);
  }
  return kExitDone;
}

}  // namespace

static int StartTarnwick(RunContext& context) {
  const StartCommand command = ReadOwnCommandLine();
  const StartMode mode = command.Mode;
  context.UseJsonOutput(command.Options.Json);
  if (mode == StartMode::Help) return Tell(UsageText());
  if (mode == StartMode::Version) return Tell(VersionLine(OwnVersion(), sizeof(void*) == 8));

  SetExceptionReporter(&DebugOutput);
  UseSystemCaseFolding();
  // Elevated, a run acts only on a list, an exe and a path that no one else can change; checked before
  // anything is read or written.
  TrustCheck checked = CheckTrust(OwnTrustPaths());
  // Only -k and -l read the list from the checked handle; the window reads and replaces it by its path,
  // which an open handle would hinder.
  if (mode != StartMode::Kill && mode != StartMode::List) checked.HeldList.reset();
  context.SetTrust(checked);
  const TrustCheck& trust = context.Trust();
  // A switch that is none ends nothing, whatever else runs: it never waits for anybody either. Nor does a
  // switch whose folder or limits cannot be followed.
  if (mode == StartMode::Unknown) return context.RefuseCommandLine("start", command.Problem);
  if (IsRun(mode) && !command.Problem.empty())
    return context.RefuseCommandLine(SourceOf(SwitchOf(mode)), command.Problem);

  InstanceGuard guard;
  // The running copy is neither activated nor told; a script learns from the exit code and the log.
  if (guard.AnotherRuns()) return IsRun(mode) ? context.RefuseAnother(SwitchOf(mode)) : kExitAnotherRuns;
  // A Win32 program has no automation starts, so it always runs stand-alone.
  if (mode == StartMode::Register) return RegisterTarnwickSource(context);
  if (mode == StartMode::Unregister) return UnregisterTarnwickSource(context);

  for (const std::string& ignored : command.Ignored) {
    context.Note(SourceOf(SwitchOf(mode)), "switch ignored", ignored + ": only the first switch counts");
  }
  if (!trust.Trusted() && (mode == StartMode::Auto || mode == StartMode::Kill)) {
    return context.RefuseUntrusted(SwitchOf(mode));
  }
  // Ending every instance and listing need no window at all (and no display).
  if (mode == StartMode::Kill || mode == StartMode::List) {
    return context.RunSwitchOnList(SwitchOf(mode), command.Options);
  }

  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_LISTVIEW_CLASSES | ICC_STANDARD_CLASSES};
  InitCommonControlsEx(&controls);

  ProcessWin32 processes;
  DebugPrivilegeWin32 scanRights;
  MainWindowSetup setup;
  setup.AutoMode = mode == StartMode::Auto;
  setup.ExeName = ExeName();
  setup.ProfilePath = ProfilePath();
  setup.Elevated = RunsElevated();
  if (!trust.Trusted()) setup.ReadOnlyReason = trust.Warning;
  setup.Note = [&context](std::string_view source, std::string_view what, std::string_view why) {
    context.Note(source, what, why);
  };
  setup.Processes = &processes;
  setup.ScanRights = &scanRights;
  const RunOptions options = command.Options;
  setup.UnattendedPass = [&context, options](const std::vector<std::string>& images) {
    return context.RunSwitchNow(RunSwitch::Auto, images, options);
  };
  setup.RefuseUnattended = [&context](const std::string& reason) {
    return context.RefuseUnreadList(RunSwitch::Auto, reason);
  };
  setup.TerminatePass = [&context](const std::vector<std::string>& images, const KeepAlive& whileWaiting) {
    return context.EndFromWindow(images, whileWaiting);
  };
  FrmMain main(std::move(setup));
  // Without its window the program has no timer and no way to end: a message loop would wait forever,
  // holding the folder's mark, and every later run would do nothing.
  if (main.Handle() == nullptr) {
    guard.Release();
    // Unloaded already: a session ended while a message of the load was open.
    return main.WasUnloaded() ? 0 : context.StartFailure("the main window could not be made");
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
  RunContext context;
  try {
    return StartTarnwick(context);
  } catch (...) {
    return context.StartFailure(DescribeCurrentException());
  }
}
