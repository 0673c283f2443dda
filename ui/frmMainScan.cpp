// The scan cycle and the terminate command of the main window: the timer, the buttons of the
// running list, the wait for what Terminate ends, and the unattended run. The lines and their marks
// are the ScanCycle's; its view draws them.
#include <windows.h>

#include "common/AppMessageWin32.h"
#include "ui/frmMain.h"

namespace tarnwick {
namespace {

constexpr const char* kTerminateQuestion = "Selected all Processes will be terminated. Are you sure?";
constexpr const char* kRunningTitle = "Running Process :";

// While Terminate waits, the window keeps painting but takes no input, shows a wait cursor and, in the
// running list's title, what it waits for; all of it is undone however the wait ends.
class WaitingWindow {
 public:
  WaitingWindow(HWND window, HWND title) : window_(window), title_(title), focus_(GetFocus()) {
    EnableWindow(window_, FALSE);
  }
  ~WaitingWindow() {
    EnableWindow(window_, TRUE);
    SetWindowTextA(title_, kRunningTitle);
    // Disabling the window took the keyboard focus away: the control that had it gets it back.
    if (focus_ != nullptr && IsChild(window_, focus_)) SetFocus(focus_);
  }
  WaitingWindow(const WaitingWindow&) = delete;
  WaitingWindow& operator=(const WaitingWindow&) = delete;

  void Show(const std::string& status) {
    if (status != shown_) {
      shown_ = status;
      // The status may name an image in any script.
      SetWindowTextW(title_, WideFromUtf8(std::string(kRunningTitle) + " " + status).c_str());
    }
    SetCursor(LoadCursor(nullptr, IDC_WAIT));
  }

 private:
  HWND window_;
  HWND title_;
  HWND focus_;
  std::string shown_;
};

// Hands every waiting message to its window, as the message loop would; a quit is left for the loop.
void PumpMessages() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      PostQuitMessage(static_cast<int>(msg.wParam));
      return;
    }
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

}  // namespace

void FrmMain::SetTimerEnabled(bool enabled) {
  if (enabled) {
    if (Handle() == nullptr) return;  // a timer without the window would tick into nowhere
    SetTimer(hwnd_, kScanTimerId, kScanIntervalMs, nullptr);
  } else if (hwnd_ != nullptr) {
    KillTimer(hwnd_, kScanTimerId);
  }
  timerEnabled_ = enabled;
}

void FrmMain::OnScanTick() {
  if (modal_ == WindowModal::Ending) return;  // the list waits until Terminate's wait is over
  // Services' and other users' processes open only with the debug privilege; it is off between ticks.
  const PrivilegeScope rights(setup_.ScanRights);
  if (!setup_.AutoMode) {
    scan_.RefreshResideList(searchList_, *setup_.Processes, false);
    return;
  }
  // The unattended run is its first tick: the window starts it, keeps its exit code and unloads.
  SetTimerEnabled(false);
  if (!listUnread_.empty()) {
    // A list that was not read is acted on by nobody: the run ends nothing.
    exitCode_ = setup_.RefuseUnattended ? setup_.RefuseUnattended(listUnread_) : 3;
    Unload();
    return;
  }
  if (const std::optional<int> exitCode = autoRun_.Tick(scan_, searchList_, *setup_.Processes, setup_.UnattendedPass)) {
    exitCode_ = *exitCode;
    Unload();
  }
}

void FrmMain::OnTerminateClick() {
  // A press while a question is open or Terminate waits (a box keeps the window's messages flowing) is
  // ignored.
  if (modal_ != WindowModal::None) return;
  int answer = IDNO;
  {
    const ModalScope confirming(*this, WindowModal::ConfirmingTerminate);
    answer = AppMessageBox(MessageOwner(), kTerminateQuestion, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1);
  }
  if (answer != IDYES || hwnd_ == nullptr) return;
  // Ticks keep running while the box is open: the pass takes the lines and marks as they are now.
  EndTickedLines();
}

void FrmMain::EndTickedLines() {
  if (!setup_.TerminatePass) return;
  std::string failures;
  {
    const ModalScope ending(*this, WindowModal::Ending);
    WaitingWindow waiting(hwnd_, Control(IDC_LBLPROCESSRESIDE));
    failures = setup_.TerminatePass(scan_.TerminateTargets(), [&waiting](const std::string& status) {
      waiting.Show(status);
      PumpMessages();
    });
  }
  if (phase_ == WindowPhase::UnloadAfterEnding) {
    Unload();
    return;
  }
  if (!failures.empty()) AppMessageBox(MessageOwner(), failures.c_str(), MB_OK | MB_ICONWARNING);
}

void FrmMain::OnCheckAllClick(int index) { scan_.SetAllMarks(index == 0); }

}  // namespace tarnwick
