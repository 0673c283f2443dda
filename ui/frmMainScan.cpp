// The scan cycle and the terminate command of the main window: the timer, the buttons of the
// running list, and the unattended run. The lines and their marks are the ScanCycle's; its view
// draws them.
#include <windows.h>

#include "common/AppMessageWin32.h"
#include "ui/frmMain.h"

namespace tarnwick {
namespace {

constexpr const char* kTerminateQuestion = "Selected all Processes will be terminated. Are you sure?";

// Sets the flag for the lifetime of the object, whichever way the scope is left.
class FlagScope {
 public:
  explicit FlagScope(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagScope() { flag_ = false; }
  FlagScope(const FlagScope&) = delete;
  FlagScope& operator=(const FlagScope&) = delete;

 private:
  bool& flag_;
};

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
  if (!setup_.autoMode) {
    scan_.RefreshResideList(searchList_, *setup_.processes, false);
    return;
  }
  // The unattended run is its first tick: the window starts it, keeps its exit code and unloads.
  SetTimerEnabled(false);
  if (const std::optional<int> exitCode = autoRun_.Tick(scan_, searchList_, *setup_.processes, setup_.terminatePass)) {
    exitCode_ = *exitCode;
    Unload();
  }
}

void FrmMain::OnTerminateClick() {
  if (!setup_.autoMode) {
    // A second press while the question is open (the box keeps the window's messages flowing) is ignored.
    if (confirmingTerminate_) return;
    int answer = IDNO;
    {
      FlagScope confirming(confirmingTerminate_);
      answer = AppMessageBox(MessageOwner(), kTerminateQuestion, MB_YESNO | MB_ICONQUESTION | MB_DEFBUTTON1);
    }
    if (answer != IDYES) return;
  }
  // Ticks keep running while the box is open: the pass takes the lines and marks as they are now.
  setup_.terminatePass(scan_.TerminateTargets());
}

void FrmMain::OnCheckAllClick(int index) { scan_.CheckAll(index); }

}  // namespace tarnwick
