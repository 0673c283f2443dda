// The main window: creation of its controls and menus, the load, resize and unload sequences,
// and the search list's rendering.
#include "ui/frmMain.h"

#include <algorithm>
#include <cmath>

#include <windowsx.h>

#include "app/AppWin32.h"
#include "common/DpiWin32.h"
#include "common/ProcedureEdge.h"
#include "tray/modTaskTray.h"

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
    {IDC_LBLPROCESSRESIDE, "STATIC", "Running Process :", kChild | SS_LEFT | SS_NOPREFIX, &MainLayout::lblProcessReside, -1},
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

// The width in twips of a list view column the user may have dragged: kept while its pixels match.
double ColumnTwips(HWND list, int column, double twips, int dpi) {
  const int pixels = ListView_GetColumnWidth(list, column);
  return pixels == TwipsToPixels(twips, dpi) ? twips : PixelsToTwips(pixels, dpi);
}

int InnerWidth(HWND control) {
  RECT inner{};
  GetClientRect(control, &inner);
  return inner.right;
}

constexpr DWORD kMainStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_CLIPCHILDREN;

}  // namespace

FrmMain& FrmMain::Instance() {
  static FrmMain instance;
  return instance;
}

HWND FrmMain::Handle() {
  // Made once: nothing brings an unloaded window back (a late tray or timer message, say).
  if (!loadTried_) {
    loadTried_ = true;
    Load();
  }
  return hwnd_;
}

std::string FrmMain::TrayTipText() { return ExeName() + std::string(1, '\0'); }

void FrmMain::Load() {
  HINSTANCE instance = GetModuleHandleA(nullptr);
  icon_.Reset(static_cast<HICON>(LoadImageA(instance, MAKEINTRESOURCEA(IDI_TARNWICK), IMAGE_ICON, 0, 0, LR_DEFAULTSIZE)));
  WNDCLASSEXA cls{};
  cls.cbSize = sizeof(cls);
  cls.lpfnWndProc = &FrmMain::WindowProc;
  cls.hInstance = instance;
  cls.hIcon = icon_.Get();
  cls.hCursor = LoadCursor(nullptr, IDC_ARROW);
  cls.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
  cls.lpszClassName = kMainWindowClass;
  RegisterClassExA(&cls);

  WNDCLASSEXA bar{};
  bar.cbSize = sizeof(bar);
  bar.lpfnWndProc = &FrmMain::SplitterProc;
  bar.hInstance = instance;
  bar.hCursor = LoadCursor(nullptr, IDC_SIZENS);
  bar.lpszClassName = kSplitterClass;
  RegisterClassExA(&bar);

  // The window is sized in WM_CREATE, once its DPI is known.
  (void)CreateWindowExA(0, kMainWindowClass, kMainWindowCaption, kMainStyle, CW_USEDEFAULT, CW_USEDEFAULT, 0, 0,
                        nullptr, nullptr, instance, this);
  ShowDeferredDuplicateMessages();
}

LRESULT CALLBACK FrmMain::WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  auto* self = reinterpret_cast<FrmMain*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  if (msg == WM_NCCREATE) {
    self = static_cast<FrmMain*>(reinterpret_cast<CREATESTRUCTA*>(lParam)->lpCreateParams);
    SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    self->hwnd_ = hwnd;
  }
  if (self == nullptr) return DefWindowProcA(hwnd, msg, wParam, lParam);
  return StopExceptions(
      "frmMain", [&] { return self->HandleMessage(msg, wParam, lParam); },
      [&] { return DefWindowProcA(hwnd, msg, wParam, lParam); });
}

LRESULT FrmMain::HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_CREATE:
      dpi_ = WindowDpi(hwnd_);
      CreateMenus();
      CreateControls();
      LoadSequence();
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
      Unload();
      return 0;
    case WM_QUERYENDSESSION:
      return TRUE;
    case WM_ENDSESSION:
      // Windows may end the process once this returns: save now, as closing the window would.
      if (wParam) Unload();
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd_, msg, wParam, lParam);
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
    (void)CreateWindowExA(0, def.className, def.caption, def.style, r.Left, r.Top, r.Width, r.Height, hwnd_,
                    reinterpret_cast<HMENU>(static_cast<INT_PTR>(def.id)), instance, nullptr);
  }
  // Each new child goes beneath its siblings, so the z-order is set once all exist. Labels lie
  // beneath the rest (the lower list overlaps its title's box by design); the bar lies above the
  // lists, which it crosses while it is dragged. Neither takes the focus, so tabbing is unchanged.
  constexpr UINT kZOrderOnly = SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE;
  SetWindowPos(Control(IDC_LBLPROCESSLIST), HWND_BOTTOM, 0, 0, 0, 0, kZOrderOnly);
  SetWindowPos(Control(IDC_LBLPROCESSRESIDE), HWND_BOTTOM, 0, 0, 0, 0, kZOrderOnly);
  SetWindowPos(Control(IDC_PICSPLITTER), HWND_TOP, 0, 0, 0, 0, kZOrderOnly);
  HWND search = Control(IDC_LSTPROCESS);
  ListView_SetExtendedListViewStyle(search, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  LVCOLUMNA column{};
  column.mask = LVCF_TEXT | LVCF_WIDTH;
  column.cx = TwipsToPixels(layout_.ImageNameColumn, dpi_);
  column.pszText = const_cast<char*>("Image Name");
  SendMessageA(search, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
  column.pszText = const_cast<char*>("Description");
  SendMessageA(search, LVM_INSERTCOLUMNA, 1, reinterpret_cast<LPARAM>(&column));

  HWND reside = Control(IDC_LSTRESIDELIST);
  ListView_SetExtendedListViewStyle(reside, LVS_EX_CHECKBOXES | LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
  column.pszText = const_cast<char*>("");
  SendMessageA(reside, LVM_INSERTCOLUMNA, 0, reinterpret_cast<LPARAM>(&column));
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
  HIMAGELIST images = ImageList_Create(large, large, ILC_COLOR32 | ILC_MASK, 1, 0);
  ImageList_AddIcon(images, terminateIcon_.Get());
  const int margin = MulDiv(2, dpi_, USER_DEFAULT_SCREEN_DPI);
  BUTTON_IMAGELIST picture{images, {margin, margin, margin, margin}, BUTTON_IMAGELIST_ALIGN_TOP};
  SendMessageA(Control(IDC_CMDTERMINATE), BCM_SETIMAGELIST, 0, reinterpret_cast<LPARAM>(&picture));
  if (terminateImages_ != nullptr) ImageList_Destroy(terminateImages_);
  terminateImages_ = images;
}

void FrmMain::LoadSequence() {
  // Columns share the list's designed width before any layout pass.
  layout_.ImageNameColumn = 0.4 * layout_.lstProcess.Width;
  layout_.DescriptionColumn = 0.55 * layout_.lstProcess.Width;
  HWND search = Control(IDC_LSTPROCESS);
  ListView_SetColumnWidth(search, 0, TwipsToPixels(layout_.ImageNameColumn, dpi_));
  ListView_SetColumnWidth(search, 1, TwipsToPixels(layout_.DescriptionColumn, dpi_));

  loading_ = true;
  for (const BuiltInEntry& entry : kBuiltInEntries) AddSearchEntry(entry.ImageName, entry.Description, true);
  const std::size_t builtIns = searchList_.Count();
  for (std::size_t i = 1; i <= builtIns; ++i) searchList_.Row(i).TextColour = kBuiltInColour;
  InvalidateRect(search, nullptr, TRUE);

  LoadSearchList();
  loading_ = false;
  OnItemClick(1);
  CheckMenuItem(GetMenu(hwnd_), IDM_VIEWITEM0, MF_BYCOMMAND | MF_UNCHECKED);
}

void FrmMain::AddSearchEntry(const std::string& imageName, const std::string& description, bool builtIn) {
  if (!searchList_.AddSearchEntry(imageName, description, builtIn)) {
    if (loading_) {
      ++deferredDuplicates_;
    } else {
      ShowDuplicateMessage();
    }
    return;
  }
  InsertSearchRow(searchList_.Count());
}

void FrmMain::ShowDuplicateMessage() {
  // An unattended run has nobody to answer a box: it would wait forever.
  if (AutoMode) return;
  MessageBoxA(MessageOwner(), "This ImageName has already been added. ", kAppTitle, MB_OK | MB_ICONINFORMATION);
}

void FrmMain::ShowDeferredDuplicateMessages() {
  // One message per refused entry, as long as the window lives (a session end may unload it meanwhile).
  for (; deferredDuplicates_ > 0 && hwnd_ != nullptr; --deferredDuplicates_) ShowDuplicateMessage();
  deferredDuplicates_ = 0;
}

HWND FrmMain::MessageOwner() const { return hwnd_ != nullptr && IsWindowVisible(hwnd_) ? hwnd_ : nullptr; }

void FrmMain::InsertSearchRow(std::size_t position) {
  const SearchEntry& entry = searchList_.Row(position);
  HWND search = Control(IDC_LSTPROCESS);
  LVITEMA item{};
  item.mask = LVIF_TEXT;
  item.iItem = static_cast<int>(position - 1);
  item.pszText = const_cast<char*>(entry.ImageName.c_str());
  const int index = static_cast<int>(SendMessageA(search, LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&item)));
  item.iItem = index;
  item.iSubItem = 1;
  item.pszText = const_cast<char*>(entry.Description.c_str());
  SendMessageA(search, LVM_SETITEMTEXTA, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(&item));
}

void FrmMain::OnItemClick(std::size_t position) {
  if (position < 1 || position > searchList_.Count()) return;
  const bool builtIn = IsSet(GetEntryFlag(searchList_.Row(position).Flags, kFlagBuiltIn));
  EnableWindow(Control(IDC_CMDEDIT), !builtIn);
  EnableWindow(Control(IDC_CMDDELETE), !builtIn);
}

LRESULT FrmMain::OnSearchListCustomDraw(NMLVCUSTOMDRAW& draw) {
  switch (draw.nmcd.dwDrawStage) {
    case CDDS_PREPAINT:
      return CDRF_NOTIFYITEMDRAW;
    case CDDS_ITEMPREPAINT: {
      const std::size_t position = static_cast<std::size_t>(draw.nmcd.dwItemSpec) + 1;
      if (position <= searchList_.Count()) {
        const auto& colour = searchList_.Row(position).TextColour;
        if (colour) draw.clrText = *colour;
      }
      return CDRF_NEWFONT;
    }
    default:
      return CDRF_DODEFAULT;
  }
}

LRESULT FrmMain::OnNotify(const NMHDR& header) {
  if (header.idFrom == IDC_LSTPROCESS) {
    if (header.code == NM_CUSTOMDRAW) {
      return OnSearchListCustomDraw(*reinterpret_cast<NMLVCUSTOMDRAW*>(const_cast<NMHDR*>(&header)));
    }
    if (header.code == LVN_ITEMCHANGED) {
      const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
      // A row becoming selected, by mouse or keyboard, is the item click.
      if ((change.uChanged & LVIF_STATE) && (change.uNewState & LVIS_SELECTED) && !(change.uOldState & LVIS_SELECTED)) {
        OnItemClick(static_cast<std::size_t>(change.iItem) + 1);
      }
    }
    return 0;
  }
  if (header.idFrom == IDC_LSTRESIDELIST) return OnResideListNotify(header);
  return 0;
}

void FrmMain::OnCommand(int id) {
  switch (id) {
    case IDC_CMDADD: OnAddClick(); break;
    case IDC_CMDEDIT: OnEditClick(); break;
    case IDC_CMDDELETE: OnDeleteClick(); break;
    case IDC_CMDCHECKALL0: OnCheckAllClick(0); break;
    case IDC_CMDCHECKALL1: OnCheckAllClick(1); break;
    case IDC_CMDTERMINATE: OnTerminateClick(); break;
    case IDM_FILEITEM0: OnMenuFileItem(0); break;
    case IDM_VIEWITEM0: OnMenuViewItem(0); break;
    case IDM_HELPITEM0: OnMenuHelpItem(0); break;
    case IDM_POPUPITEM0: OnMenuPopupItem(0); break;
    default: break;
  }
}

void FrmMain::Show() {
  HWND hwnd = Handle();
  const bool wasVisible = IsWindowVisible(hwnd);
  // A first show is laid out before it appears, so nobody sees the controls jump.
  const bool laidOut = !wasVisible && !IsIconic(hwnd);
  if (laidOut) ResizeHandling();
  inShow_ = true;
  resizedInShow_ = false;
  ShowWindow(hwnd, SW_SHOWNORMAL);
  inShow_ = false;
  // Windows sends no WM_SIZE to a window that was sized while hidden: run the resize handling ourselves.
  if (!wasVisible && !laidOut && !resizedInShow_) ResizeHandling();
  SetForegroundWindow(hwnd);
}

void FrmMain::Hide() { ShowWindow(Handle(), SW_HIDE); }

void FrmMain::OnSize(WPARAM kind) {
  // Sizes reported while the window is hidden (at creation) are not a resize of the shown window.
  if (kind != SIZE_MINIMIZED && !IsWindowVisible(hwnd_)) return;
  if (inShow_) {
    // The show itself reports the size the window was just laid out at: nothing changed.
    const RECT client = ClientRect();
    if (kind == SIZE_RESTORED && client.right == layoutClient_.cx && client.bottom == layoutClient_.cy) return;
    resizedInShow_ = true;
  }
  ResizeHandling();
}

RECT FrmMain::ClientRect() const {
  RECT client{};
  GetClientRect(hwnd_, &client);
  return client;
}

void FrmMain::ResizeHandling() {
  if (IsIconic(hwnd_)) {
    GoToTray();
    return;
  }
  ApplyLayout();
  SetTimerEnabled(true);
}

void FrmMain::ApplyLayout() {
  const RECT client = ClientRect();
  layoutClient_ = {client.right, client.bottom};
  // The user may have dragged the first column's edge: the pass works from its real width.
  HWND search = Control(IDC_LSTPROCESS);
  layout_.ImageNameColumn = ColumnTwips(search, 0, layout_.ImageNameColumn, dpi_);

  LayoutPass(layout_, PixelsToTwips(client.right, dpi_), PixelsToTwips(client.bottom, dpi_));

  HDWP batch = BeginDeferWindowPos(static_cast<int>(std::size(kControls)));
  for (const ControlDef& def : kControls) {
    const PixelRect r = ToPixels(RectOf(layout_, def), dpi_);
    if (batch != nullptr) {
      batch = DeferWindowPos(batch, Control(def.id), nullptr, r.Left, r.Top, r.Width, r.Height,
                             SWP_NOZORDER | SWP_NOACTIVATE);
    }
  }
  if (batch != nullptr) EndDeferWindowPos(batch);
  // The pass measures the list's outer width; a column reaching under its borders would only bring
  // a horizontal scroll bar that shows nothing, so the second column stops at the visible edge.
  const int room = InnerWidth(search) - ListView_GetColumnWidth(search, 0);
  ListView_SetColumnWidth(search, 1, std::max(0, std::min(TwipsToPixels(layout_.DescriptionColumn, dpi_), room)));
  HWND reside = Control(IDC_LSTRESIDELIST);
  ListView_SetColumnWidth(reside, 0, InnerWidth(reside));
}

void FrmMain::OnDpiChanged(int dpi, const RECT& suggested) {
  // The window moved to a monitor with another scaling: the geometry stays in twips, its pixels,
  // the fonts and the pictures follow. The first column keeps its twips, even if the user dragged it.
  HWND search = Control(IDC_LSTPROCESS);
  layout_.ImageNameColumn = ColumnTwips(search, 0, layout_.ImageNameColumn, dpi_);
  dpi_ = dpi;
  ListView_SetColumnWidth(search, 0, TwipsToPixels(layout_.ImageNameColumn, dpi_));
  ApplyFonts();
  const SIZE lastLayout = layoutClient_;
  layoutClient_ = {-1, -1};
  SetWindowPos(hwnd_, nullptr, suggested.left, suggested.top, suggested.right - suggested.left,
               suggested.bottom - suggested.top, SWP_NOZORDER | SWP_NOACTIVATE);
  if (layoutClient_.cx >= 0) return;  // the resize handling has laid it out at the new DPI
  // Same size in pixels, or no resize handling (hidden): one more pass, as a resize would run it.
  if (IsIconic(hwnd_)) {
    layoutClient_ = lastLayout;
  } else {
    ApplyLayout();
  }
}

void FrmMain::SetTimerEnabled(bool enabled) {
  if (enabled) {
    if (Handle() == nullptr) return;  // a timer without the window would tick into nowhere
    SetTimer(hwnd_, kScanTimerId, kScanIntervalMs, nullptr);
  } else if (hwnd_ != nullptr) {
    KillTimer(hwnd_, kScanTimerId);
  }
  timerEnabled_ = enabled;
}

void FrmMain::Unload() {
  if (hwnd_ == nullptr) return;
  unloaded_ = true;
  SetTimerEnabled(false);
  SaveSearchList();
  // Unloaded from the notification area (log-off, shutdown): no icon may outlive the window.
  RemoveTrayIcon(*this);
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
  if (terminateImages_ != nullptr) ImageList_Destroy(terminateImages_);
  terminateImages_ = nullptr;
  return static_cast<int>(msg.wParam);
}

LRESULT CALLBACK FrmMain::SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  FrmMain& self = Instance();
  const auto handle = [&]() -> LRESULT {
    switch (msg) {
      case WM_LBUTTONDOWN:
      case WM_RBUTTONDOWN:
      case WM_MBUTTONDOWN:
        SetCapture(hwnd);
        self.OnSplitterMouseDown(GET_Y_LPARAM(lParam));
        return 0;
      case WM_MOUSEMOVE:
        self.OnSplitterMouseMove(GET_Y_LPARAM(lParam));
        return 0;
      case WM_LBUTTONUP:
      case WM_RBUTTONUP:
      case WM_MBUTTONUP:
        // The release is applied before the capture goes, which would otherwise cancel the drag.
        self.OnSplitterMouseUp(GET_Y_LPARAM(lParam));
        ReleaseCapture();
        return 0;
      case WM_CAPTURECHANGED:
      case WM_CANCELMODE:
        self.OnSplitterCaptureLost();
        break;  // the default handling of WM_CANCELMODE releases the capture
      case WM_PAINT: {
        PAINTSTRUCT paint;
        HDC dc = BeginPaint(hwnd, &paint);
        self.PaintSplitter(dc);
        EndPaint(hwnd, &paint);
        return 0;
      }
      default:
        break;
    }
    return DefWindowProcA(hwnd, msg, wParam, lParam);
  };
  return StopExceptions("picSplitter", handle, [&] { return DefWindowProcA(hwnd, msg, wParam, lParam); });
}

}  // namespace tarnwick
