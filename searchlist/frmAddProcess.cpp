// frmAddProcess: the entry dialog, built in code and shown with the dialog manager for Enter, Esc and Tab.
#include "searchlist/frmAddProcess.h"

#include <algorithm>
#include <vector>

#include "common/AppMessageWin32.h"
#include "common/DpiWin32.h"
#include "common/ProcedureEdge.h"
#include "common/Twips.h"
#include "common/WideTextWin32.h"
#include "searchlist/SearchList.h"

namespace tarnwick {
namespace {

constexpr double kClientWidth = 5325;
constexpr double kClientHeight = 1830;
constexpr TwipRect kFrame{90, 120, 5145, 1155};

constexpr DWORD kDialogStyle = WS_POPUP | WS_CAPTION | WS_SYSMENU | DS_MODALFRAME;
constexpr DWORD kDialogExStyle = WS_EX_DLGMODALFRAME;
constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;

struct ControlDef {
  int id;
  const char* className;
  const char* caption;
  DWORD style;
  DWORD exStyle;
  TwipRect rect;
  bool inFrame;  // positions of the frame's controls count from the frame's corner
};

// In tab order.
const ControlDef kControls[] = {
    {IDC_FRAADD, "BUTTON", "", kChild | BS_GROUPBOX, 0, kFrame, false},
    {IDC_TXTPROCESSNAME,
     "EDIT",
     "",
     kChild | WS_TABSTOP | ES_AUTOHSCROLL,
     WS_EX_CLIENTEDGE,
     {1410, 240, 3615, 315},
     true},
    {IDC_LBLPROCESSNAME, "STATIC", "Process Name : ", kChild | SS_LEFT, 0, {120, 300, 1395, 255}, true},
    {IDC_TXTDESCRIPTION,
     "EDIT",
     "",
     kChild | WS_TABSTOP | ES_AUTOHSCROLL,
     WS_EX_CLIENTEDGE,
     {1410, 690, 3615, 315},
     true},
    {IDC_LBLDESCRIPTION, "STATIC", "Description : ", kChild | SS_LEFT, 0, {120, 750, 1395, 255}, true},
    {IDC_CMDOK, "BUTTON", "&OK", kChild | WS_TABSTOP | BS_DEFPUSHBUTTON, 0, {2490, 1380, 1335, 375}, false},
    {IDC_CMDCANCEL, "BUTTON", "&Cancel", kChild | WS_TABSTOP | BS_PUSHBUTTON, 0, {3930, 1380, 1335, 375}, false},
};

// A dialog without controls: they are made at pixel positions once the dialog's DPI is known.
struct alignas(DWORD) EmptyDialogTemplate {
  DLGTEMPLATE header;
  WORD menu = 0;
  WORD windowClass = 0;
  WORD title = 0;
};

}  // namespace

FrmAddProcess& FrmAddProcess::Instance() {
  static FrmAddProcess instance;
  return instance;
}

void FrmAddProcess::ProcessName(std::string text) {
  SetProperty(processName_, nextProcessName_, IDC_TXTPROCESSNAME, std::move(text));
}

void FrmAddProcess::Description(std::string text) {
  SetProperty(description_, nextDescription_, IDC_TXTDESCRIPTION, std::move(text));
}

void FrmAddProcess::SetProperty(std::string& stored, std::optional<std::string>& next, int box, std::string text) {
  stored = std::move(text);
  // A showing dialog takes the text at once; otherwise the next showing opens with it.
  if (hwnd_ != nullptr) {
    SetDlgItemTextW(hwnd_, box, WideFromUtf8(stored).c_str());
  } else {
    next = stored;
  }
}

void FrmAddProcess::Show(HWND owner) {
  owner_ = owner;
  dpi_ = WindowDpi(owner);
  font_ = CreateMessageFont(dpi_);
  EmptyDialogTemplate dialog{};
  dialog.header.style = kDialogStyle;
  dialog.header.dwExtendedStyle = kDialogExStyle;
  const INT_PTR result = DialogBoxIndirectParamW(GetModuleHandleW(nullptr), &dialog.header, owner, &DialogProc,
                                                 reinterpret_cast<LPARAM>(this));
  // Only OK takes the typed texts; every other way out (Esc, the close box, Alt+F4, a failed show) cancels.
  cancel_ = (result != IDOK);
  nextProcessName_.reset();
  nextDescription_.reset();
  hwnd_ = nullptr;
  font_.Reset();
}

INT_PTR CALLBACK FrmAddProcess::DialogProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  const auto handle = [&]() -> INT_PTR {
    if (msg == WM_INITDIALOG) {
      auto* self = reinterpret_cast<FrmAddProcess*>(lParam);
      SetWindowLongPtrW(hwnd, DWLP_USER, lParam);
      self->OnInitDialog(hwnd);
      return FALSE;  // the focus is set
    }
    auto* self = reinterpret_cast<FrmAddProcess*>(GetWindowLongPtrW(hwnd, DWLP_USER));
    if (self == nullptr) return FALSE;
    switch (msg) {
      case WM_COMMAND:
        if (LOWORD(wParam) == IDC_CMDOK && HIWORD(wParam) == BN_CLICKED) {
          self->OnOkClick();
          return TRUE;
        }
        if (LOWORD(wParam) == IDC_CMDCANCEL && HIWORD(wParam) == BN_CLICKED) {
          self->OnCancelClick();
          return TRUE;
        }
        break;
      case WM_CLOSE:  // the close box and Alt+F4 count as Cancel
        self->OnCancelClick();
        return TRUE;
      case WM_DESTROY:
        self->hwnd_ = nullptr;
        break;
      default:
        break;
    }
    return FALSE;
  };
  return StopExceptions("frmAddProcess", handle, [] { return INT_PTR{FALSE}; });
}

void FrmAddProcess::OnInitDialog(HWND hwnd) {
  hwnd_ = hwnd;
  cancel_ = false;
  SetWindowTextW(hwnd_, WideFromUtf8(kAddProcessCaption).c_str());
  CreateControls();
  PlaceOverOwner();
  SetDlgItemTextW(hwnd_, IDC_TXTPROCESSNAME, WideFromUtf8(nextProcessName_.value_or("")).c_str());
  SetDlgItemTextW(hwnd_, IDC_TXTDESCRIPTION, WideFromUtf8(nextDescription_.value_or("")).c_str());
  SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd_, IDC_TXTPROCESSNAME)), TRUE);
}

void FrmAddProcess::CreateControls() {
  HINSTANCE instance = GetModuleHandleW(nullptr);
  for (const ControlDef& def : kControls) {
    TwipRect rect = def.rect;
    if (def.inFrame) {
      rect.Left += kFrame.Left;
      rect.Top += kFrame.Top;
    }
    const PixelRect r = ToPixels(rect, dpi_);
    // Wide controls: the boxes take and give names in any script.
    HWND control = CreateWindowExW(def.exStyle, WideFromUtf8(def.className).c_str(), WideFromUtf8(def.caption).c_str(),
                                   def.style, r.Left, r.Top, r.Width, r.Height, hwnd_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(def.id)), instance, nullptr);
    SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
  }
  // The boxes take any length of text.
  SendDlgItemMessageW(hwnd_, IDC_TXTPROCESSNAME, EM_SETLIMITTEXT, 0, 0);
  SendDlgItemMessageW(hwnd_, IDC_TXTDESCRIPTION, EM_SETLIMITTEXT, 0, 0);
  // The frame lies beneath what it groups; it takes no focus, so the tab order stays.
  SetWindowPos(GetDlgItem(hwnd_, IDC_FRAADD), HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
}

void FrmAddProcess::PlaceOverOwner() {
  RECT frame{0, 0, TwipsToPixels(kClientWidth, dpi_), TwipsToPixels(kClientHeight, dpi_)};
  AdjustWindowRectForDpi(frame, kDialogStyle, kDialogExStyle, false, dpi_);
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;

  MONITORINFO monitor{};
  monitor.cbSize = sizeof(monitor);
  GetMonitorInfoA(MonitorFromWindow(owner_ != nullptr ? owner_ : hwnd_, MONITOR_DEFAULTTONEAREST), &monitor);
  RECT over = monitor.rcWork;
  if (owner_ != nullptr && IsWindowVisible(owner_)) GetWindowRect(owner_, &over);
  int x = over.left + (over.right - over.left - width) / 2;
  int y = over.top + (over.bottom - over.top - height) / 2;
  // Wholly on the screen, even when the owner is half off it.
  x = std::max<int>(monitor.rcWork.left, std::min<int>(x, monitor.rcWork.right - width));
  y = std::max<int>(monitor.rcWork.top, std::min<int>(y, monitor.rcWork.bottom - height));
  SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

std::string FrmAddProcess::ControlText(int id) const {
  HWND control = GetDlgItem(hwnd_, id);
  std::vector<wchar_t> text(static_cast<std::size_t>(GetWindowTextLengthW(control)) + 1, L'\0');
  const int n = GetWindowTextW(control, text.data(), static_cast<int>(text.size()));
  return Utf8FromWide(std::wstring_view(text.data(), static_cast<std::size_t>(std::max(n, 0))));
}

void FrmAddProcess::OnOkClick() {
  std::optional<EntryTexts> entry = EntryFromDialog(ControlText(IDC_TXTPROCESSNAME), ControlText(IDC_TXTDESCRIPTION));
  if (!entry) {
    // The dialog stays open with the name box in focus: an empty name can never match a process.
    AppMessageBox(hwnd_, kEmptyImageNameText, MB_OK | MB_ICONEXCLAMATION);
    SendMessageW(hwnd_, WM_NEXTDLGCTL, reinterpret_cast<WPARAM>(GetDlgItem(hwnd_, IDC_TXTPROCESSNAME)), TRUE);
    return;
  }
  processName_ = std::move(entry->ImageName);
  description_ = std::move(entry->Description);
  EndDialog(hwnd_, IDOK);
}

void FrmAddProcess::OnCancelClick() { EndDialog(hwnd_, IDCANCEL); }

}  // namespace tarnwick
