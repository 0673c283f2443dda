// The main window: its controls, parts and menus, the load, resize and unload sequences, DPI.
#include "ui/frmMain.h"

#include <iterator>
#include <utility>

#include "common/AppMessageWin32.h"
#include "common/DpiWin32.h"
#include "common/WindowPartWin32.h"

namespace tarnwick {
namespace {

struct ControlDef {
  int id;
  const char* className;
  const char* caption;
  DWORD style;
  TwipRect MainLayout::*rect;  // where the layout keeps it
  int checkAllIndex;           // for the control array; -1 otherwise
};

constexpr DWORD kChild = WS_CHILD | WS_VISIBLE | WS_CLIPSIBLINGS;
constexpr DWORD kButton = kChild | WS_TABSTOP | BS_PUSHBUTTON;

// In tab order; labels and the bar take no focus.
const ControlDef kControls[] = {
    {IDC_LBLPROCESSLIST, "STATIC", "Search Process :", kChild | SS_LEFT | SS_NOPREFIX, &MainLayout::lblProcessList, -1},
    {IDC_LSTPROCESS, WC_LISTVIEWA, "", kChild | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
     &MainLayout::lstProcess, -1},
    {IDC_CMDADD, "BUTTON", "&Add...", kButton, &MainLayout::cmdAdd, -1},
    {IDC_CMDEDIT, "BUTTON", "&Edit...", kButton, &MainLayout::cmdEdit, -1},
    {IDC_CMDDELETE, "BUTTON", "&Delete", kButton, &MainLayout::cmdDelete, -1},
    {IDC_LBLPROCESSRESIDE, "STATIC", "Running Process :", kChild | SS_LEFT | SS_NOPREFIX, &MainLayout::lblProcessReside,
     -1},
    {IDC_LSTRESIDELIST, WC_LISTVIEWA, "",
     kChild | WS_TABSTOP | WS_BORDER | LVS_REPORT | LVS_NOCOLUMNHEADER | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
     &MainLayout::lstResideList, -1},
    {IDC_CMDCHECKALL0, "BUTTON", "&Select all", kButton, nullptr, 0},
    {IDC_CMDCHECKALL1, "BUTTON", "&Unselect all", kButton, nullptr, 1},
    {IDC_CMDTERMINATE, "BUTTON", "&Terminate", kButton | BS_MULTILINE, &MainLayout::cmdTerminate, -1},
    {IDC_PICSPLITTER, kSplitterClass, "", kChild, &MainLayout::picSplitter, -1},
};

const TwipRect& RectOf(const MainLayout& layout, const ControlDef& def) {
  return def.rect != nullptr ? layout.*(def.rect) : layout.cmdCheckAll[def.checkAllIndex];
}

constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

}  // namespace

FrmMain::FrmMain(MainWindowSetup setup) : setup_(std::move(setup)) {}

FrmMain::~FrmMain() {
  if (hwnd_ != nullptr) DestroyWindow(hwnd_);
}

HWND FrmMain::Handle() {
  // Made once: nothing brings an unloaded window back (a late tray or timer message, say).
  if (MoveTo(WindowPhase::Loaded)) Load();
  return hwnd_;
}

bool FrmMain::MoveTo(WindowPhase next) {
  using enum WindowPhase;
  // While Terminate waits for processes and services to end, the window keeps painting but takes no
  // input; a close or a session end that comes meanwhile is carried out once the wait is over.
  const bool legal = (phase_ == NotLoaded && next == Loaded) || (phase_ == Loaded && next == UnloadAfterEnding) ||
                     ((phase_ == Loaded || phase_ == UnloadAfterEnding) && next == Unloaded);
  if (legal) phase_ = next;
  return legal;
}

std::string FrmMain::TrayTipText() const {
  // The icon's tip field is ANSI: a name that the code page cannot hold exactly gives the program's own.
  const std::string name = ExactAnsiFromWide(WideFromUtf8(setup_.ExeName)).value_or("Tarnwick");
  return name + std::string(1, '\0');
}

void FrmMain::Load() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  icon_.Reset(
      static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_TARNWICK), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof(cls);
  cls.lpfnWndProc = &PartWindowProc<FrmMain>;
  cls.hInstance = instance;
  cls.hIcon = icon_.Get();
  cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = kMainWindowClass;
  RegisterClassExA(&cls);
  SplitterBar::RegisterClass(instance);

  // The window is sized in WM_CREATE, once its DPI is known.
  (void)CreateWindowExA(0, kMainWindowClass, kMainWindowCaption, kMainStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                        nullptr, nullptr, instance, this);
  TellListLoad();
}

LRESULT FrmMain::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      hwnd_ = hwnd;
      break;
    case WM_CREATE:
      OnCreate();
      return 0;
    case WM_SIZE:
      OnSize(wParam);
      return 0;
    case WM_DPICHANGED:
      OnDpiChanged(HIWORD(wParam), *reinterpret_cast<const RECT*>(lParam));
      return 0;
    case WM_COMMAND:
      OnCommand(LOWORD(wParam));
      return 0;
    case WM_NOTIFY:
      return OnNotify(*reinterpret_cast<const NMHDR*>(lParam));
    case WM_TIMER:
      if (wParam == kScanTimerId && timerEnabled_) OnScanTick();
      return 0;
    case WM_CLOSE:
      OnClose(false);
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      if (wParam) OnClose(true);
      return 0;
    case WM_SETCURSOR:
      if (modal_ != WindowModal::Ending) break;
      SetCursor(LoadCursor(nullptr, IDC_WAIT));
      return TRUE;
    case WM_DESTROY:
      runningView_.Detach();
      PostQuitMessage(exitCode_);
      return 0;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void FrmMain::OnClose(bool sessionEnds) {
  sessionEnded_ = sessionEnded_ || sessionEnds;
  if (modal_ != WindowModal::Ending) {
    Unload();
    return;
  }
  // Terminate is still waiting further up this thread's stack: the window goes once it is done. Windows
  // may end the process as soon as a session end is answered, so the entries are saved now.
  if (sessionEnds) SaveSearchList();
  MoveTo(WindowPhase::UnloadAfterEnding);
}

void FrmMain::OnCreate() {
  dpi_ = WindowDpi(hwnd_);
  CreateMenus();
  CreateControls();
  LoadSequence();
}

void FrmMain::CreateMenus() {
  HMENU bar = CreateMenu();
  auto addMenu = [bar](const char* caption, int id, const char* item) {
    HMENU menu = CreatePopupMenu();
    AppendMenuA(menu, MF_STRING, static_cast<UINT_PTR>(id), item);
    AppendMenuA(bar, MF_POPUP, reinterpret_cast<UINT_PTR>(menu), caption);
  };
  addMenu("&File", IDM_FILEITEM0, "E&xit");
  addMenu("&View", IDM_VIEWITEM0, "&Always On Top");
  addMenu("&Help", IDM_HELPITEM0, "&Version...");
  SetMenu(hwnd_, bar);
  popupMenu_.Reset(CreatePopupMenu());
  AppendMenuA(popupMenu_.Get(), MF_STRING, IDM_POPUPITEM0, "&Show...");
}

void FrmMain::CreateControls() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  for (const ControlDef& def : kControls) {
    const PixelRect r = ToPixels(RectOf(layout_, def), dpi_);
    // The bar finds its part through its creation parameter.
    void* part = def.id == IDC_PICSPLITTER ? &splitterBar_ : nullptr;
    (void)CreateWindowExA(0, def.className, def.caption, def.style, r.Left, r.Top, r.Width, r.Height, hwnd_,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(def.id)), instance, part);
  }
  // Each new child goes beneath its siblings, so the z-order is set once all exist. Labels lie
  // beneath the rest (the lower list overlaps its title's box by design); the bar lies above the
  // lists, which it crosses while it is dragged. Neither takes the focus, so tabbing is unchanged.
  constexpr UINT kZOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(Control(IDC_LBLPROCESSLIST), HWND_BOTTOM, 0, 0, 0, 0, kZOrderOnly);
  SetWindowPos(Control(IDC_LBLPROCESSRESIDE), HWND_BOTTOM, 0, 0, 0, 0, kZOrderOnly);
  SetWindowPos(Control(IDC_PICSPLITTER), HWND_TOP, 0, 0, 0, 0, kZOrderOnly);
  searchView_.Attach(Control(IDC_LSTPROCESS), Control(IDC_CMDEDIT), Control(IDC_CMDDELETE));
  runningView_.Attach(Control(IDC_LSTRESIDELIST));
  ApplyFonts();

  // The window gets its designed client size at this DPI.
  RECT frame{0, 0, TwipsToPixels(kInitialClientWidth, dpi_), TwipsToPixels(kInitialClientHeight, dpi_)};
  AdjustWindowRectForDpi(frame, kMainStyle, 0, true, dpi_);
  SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
               SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

// Fonts and pictures at dpi_. At a change of DPI the old ones are freed only once the controls and
// the window hold the new ones: until then they may still paint with them.
void FrmMain::ApplyFonts() {
  FontHandle font = CreateMessageFont(dpi_);
  for (const ControlDef& def : kControls) {
    SendMessageA(Control(def.id), WM_SETFONT, reinterpret_cast<WPARAM>(font.Get()), TRUE);
  }
  font_ = std::move(font);
  HINSTANCE instance = GetModuleHandleA(nullptr);
  const auto loadIcon = [instance](int id, int size) {
    return IconHandle(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(id), IMAGE_ICON, size, size, 0)));
  };
  const int large = SystemMetricForDpi(SM_CXICON, dpi_);
  IconHandle smallIcon = loadIcon(IDI_TARNWICK, SystemMetricForDpi(SM_CXSMICON, dpi_));
  IconHandle largeIcon = loadIcon(IDI_TARNWICK, large);
  SendMessageA(hwnd_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon.Get()));
  SendMessageA(hwnd_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(largeIcon.Get()));
  smallIcon_ = std::move(smallIcon);
  largeIcon_ = std::move(largeIcon);

  // cmdTerminate shows its picture above the caption.
  terminateIcon_ = loadIcon(IDI_TERMINATE, large);
  ImageListHandle images(ImageList_Create(large, large, ILC_COLOR32 | ILC_MASK, 1, 0));
  ImageList_AddIcon(images.Get(), terminateIcon_.Get());
  const int margin = MulDiv(2, dpi_, USER_DEFAULT_SCREEN_DPI);
  BUTTON_IMAGELIST picture{images.Get(), {margin, margin, margin, margin}, BUTTON_IMAGELIST_ALIGN_TOP};
  SendMessageA(Control(IDC_CMDTERMINATE), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&picture));
  terminateImages_ = std::move(images);
}

void FrmMain::LoadSequence() {
  // Columns share the list's designed width before any layout pass.
  SplitColumns(layout_);
  searchView_.SetColumnWidth(0, layout_.ImageNameColumn, dpi_);
  searchView_.SetColumnWidth(1, layout_.DescriptionColumn, dpi_);

  LoadSearchList();
  searchView_.OnItemClick(1);
  CheckMenuItem(GetMenu(hwnd_), IDM_VIEWITEM0, MF_BYCOMMAND | MF_UNCHECKED);
}

void FrmMain::AddSearchEntry(const std::string& imageName, const std::string& description, bool builtIn) {
  if (searchList_.AddSearchEntry(imageName, description, builtIn)) {
    searchView_.RowAdded(searchList_.Count());
  } else {
    ShowDuplicateMessage();
  }
}

void FrmMain::ShowDuplicateMessage() {
  // An unattended run has nobody to answer a box: it would wait forever.
  if (setup_.AutoMode) return;
  AppMessageBox(MessageOwner(), "This ImageName has already been added. ", MB_OK | MB_ICONINFORMATION);
}

HWND FrmMain::MessageOwner() const { return hwnd_ != nullptr && IsWindowVisible(hwnd_) ? hwnd_ : nullptr; }

LRESULT FrmMain::OnNotify(const NMHDR& header) {
  switch (header.idFrom) {
    case IDC_LSTPROCESS:
      return searchView_.OnNotify(header);
    case IDC_LSTRESIDELIST:
      return runningView_.OnNotify(header);
    default:
      return 0;
  }
}

void FrmMain::OnCommand(int id) {
  switch (id) {
    case IDC_CMDADD:
      OnAddClick();
      break;
    case IDC_CMDEDIT:
      OnEditClick();
      break;
    case IDC_CMDDELETE:
      OnDeleteClick();
      break;
    case IDC_CMDCHECKALL0:
      OnCheckAllClick(0);
      break;
    case IDC_CMDCHECKALL1:
      OnCheckAllClick(1);
      break;
    case IDC_CMDTERMINATE:
      OnTerminateClick();
      break;
    case IDM_FILEITEM0:
      OnMenuFileItem(0);
      break;
    case IDM_VIEWITEM0:
      OnMenuViewItem(0);
      break;
    case IDM_HELPITEM0:
      OnMenuHelpItem(0);
      break;
    case IDM_POPUPITEM0:
      OnMenuPopupItem(0);
      break;
    default:
      break;
  }
}

void FrmMain::PlaceControls() {
  HDWP batch = BeginDeferWindowPos(static_cast<int>(std::size(kControls)));
  for (const ControlDef& def : kControls) {
    const PixelRect r = ToPixels(RectOf(layout_, def), dpi_);
    if (batch != nullptr) {
      batch = DeferWindowPos(batch, Control(def.id), nullptr, r.Left, r.Top, r.Width, r.Height,
                             SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (batch != nullptr) EndDeferWindowPos(batch);
}

void FrmMain::Unload() {
  // A second close while the failed save's question is open waits for its answer; a session end does not.
  if (hwnd_ == nullptr || (modal_ == WindowModal::AskingToSave && !sessionEnded_)) return;
  MoveTo(WindowPhase::Unloaded);
  SetTimerEnabled(false);
  SaveSearchList();
  if (hwnd_ == nullptr) return;  // the session ended while the question was open, and unloaded the window
  // Unloaded from the notification area (log-off, shutdown): no icon may outlive the window.
  tray_.RemoveTrayIcon();
  DestroyWindow(hwnd_);
}

int FrmMain::RunMessageLoop() {
  MSG msg;
  while (GetMessageA(&msg, nullptr, 0, 0) > 0) {
    // Tab, the arrow keys and the access keys (Alt+A ...) work as in a dialog.
    if (hwnd_ != nullptr && IsDialogMessageA(hwnd_, &msg)) continue;
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
  return static_cast<int>(msg.wParam);
}

}  // namespace tarnwick
