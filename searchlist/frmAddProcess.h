// frmAddProcess: the modal dialog "Add Search Process" that Add and Edit use for an image name and a description.
#pragma once
#include <windows.h>

#include <optional>
#include <string>

#include "common/Win32Handles.h"

namespace tarnwick {

inline constexpr const char* kAddProcessCaption = "Add Search Process";
inline constexpr const char* kEmptyImageNameText = "Type the image name of the program, for example Gadget.exe.";

// Control identifiers; OK and Cancel carry the dialog's own so that Enter, Esc and the close box work.
enum AddProcessControlId : int {
  IDC_FRAADD = 3001,
  IDC_LBLPROCESSNAME = 3002,
  IDC_TXTPROCESSNAME = 3003,
  IDC_LBLDESCRIPTION = 3004,
  IDC_TXTDESCRIPTION = 3005,
  IDC_CMDOK = IDOK,
  IDC_CMDCANCEL = IDCANCEL,
};

class FrmAddProcess {
 public:
  // The one dialog object of the run; its values outlive each showing.
  static FrmAddProcess& Instance();

  const std::string& ProcessName() const { return processName_; }
  // Stores the text and puts it into the image-name box of the next showing.
  void ProcessName(std::string text);
  const std::string& Description() const { return description_; }
  void Description(std::string text);
  // True when the dialog was left without OK: Cancel, Esc, the close box or Alt+F4.
  bool Cancel() const { return cancel_; }

  // Shows the dialog modally, centred over `owner`, which stays disabled meanwhile.
  void Show(HWND owner);

 private:
  FrmAddProcess() = default;
  static INT_PTR CALLBACK DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  void OnInitDialog(HWND hwnd);
  void CreateControls();
  void PlaceOverOwner();
  void OnOkClick();
  void OnCancelClick();
  std::string ControlText(int id) const;
  void SetProperty(std::string& stored, std::optional<std::string>& next, int box, std::string text);

  std::string processName_;
  std::string description_;
  bool cancel_ = false;
  // Texts for the boxes of the next showing, set through the properties; empty boxes otherwise.
  std::optional<std::string> nextProcessName_, nextDescription_;

  HWND hwnd_ = nullptr;
  HWND owner_ = nullptr;
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  FontHandle font_;
};

}  // namespace tarnwick
