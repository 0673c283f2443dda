// The main window "Velm Tarnwick": its controls, menus, timer and the events that drive the core.
// The window procedure unpacks messages; the handlers live in one file per concern:
// frmMain.cpp (window, load, resize, unload), frmMainScan.cpp (scan cycle, terminate),
// frmMainEdit.cpp (entry editing, persistence), frmMainMenu.cpp (menus, tray),
// frmMainSplitter.cpp (the bar between the lists).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <string>

#include "common/Win32Handles.h"
#include "process/ProcessWin32.h"
#include "searchlist/SearchList.h"
#include "ui/Layout.h"
#include "ui/Splitter.h"
#include "ui/ScanCycle.h"
#include "ui/frmMainIds.h"

namespace tarnwick {

class FrmMain {
 public:
  // The one main window of the program; created on first use, loaded on first access.
  static FrmMain& Instance();

  HWND Handle();          // loads the window on the first call only: nullptr once unloaded, or if it could not be made
  bool IsLoaded() const { return hwnd_ != nullptr; }
  bool WasUnloaded() const { return unloaded_; }
  void Show();            // normal state, shown modeless; the resize handling then runs
  void Hide();
  void Unload();          // stops the scan, saves the user's entries, destroys the window
  void SetTimerEnabled(bool enabled);
  bool TimerEnabled() const { return timerEnabled_; }
  int RunMessageLoop();   // until the window is unloaded

  // The executable's name as run, with one NUL: the tip of the notification-area icon.
  static std::string TrayTipText();

  // Brings the window back from the notification area ("&Show..." and the icon's double-click).
  void ShowFromTray();
  // The "-i" start: hidden behind the icon, or shown minimised when the shell takes no icon.
  void StartInTray();
  // mnuPopup, the icon's right-button menu.
  HMENU PopupMenu() const { return popupMenu_.Get(); }

 private:
  FrmMain() = default;
  void Load();
  static LRESULT CALLBACK WindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  static LRESULT CALLBACK SplitterProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept;
  LRESULT HandleMessage(UINT msg, WPARAM wParam, LPARAM lParam);
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }

  // frmMain.cpp
  void CreateControls();
  void CreateMenus();
  void ApplyFonts();
  void LoadSequence();
  void OnSize(WPARAM kind);
  void ResizeHandling();
  void ApplyLayout();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void OnCommand(int id);
  LRESULT OnNotify(const NMHDR& header);
  LRESULT OnSearchListCustomDraw(NMLVCUSTOMDRAW& draw);
  void AddSearchEntry(const std::string& imageName, const std::string& description, bool builtIn);
  void InsertSearchRow(std::size_t position);
  void ShowDuplicateMessage();
  void ShowDeferredDuplicateMessages();
  void OnItemClick(std::size_t position);
  HWND MessageOwner() const;
  RECT ClientRect() const;

  // frmMainScan.cpp: the scan cycle and the terminate command.
  void OnScanTick();
  void OnTerminateClick();
  void OnCheckAllClick(int index);
  LRESULT OnResideListNotify(const NMHDR& header);
  // The search row at `position` was deleted: its running-list line goes, later lines' positions shift down.
  void OnSearchEntryDeleted(std::size_t position);
  void OnSearchEntryRenamed(std::size_t position);

  // frmMainEdit.cpp: the user's entries, the entry dialog and the profile file.
  void LoadSearchList();
  void SaveSearchList();
  void OnAddClick();
  void OnEditClick();
  void OnDeleteClick();

  // frmMainMenu.cpp: menu commands and the way into the notification area.
  void OnMenuFileItem(int index);
  void OnMenuViewItem(int index);
  void OnMenuHelpItem(int index);
  void OnMenuPopupItem(int index);
  void GoToTray();

  // frmMainSplitter.cpp: dragging the bar between the lists.
  void OnSplitterMouseDown(int y);
  void OnSplitterMouseMove(int y);
  void OnSplitterMouseUp(int y);
  void OnSplitterCaptureLost();
  void PaintSplitter(HDC dc);

  HWND hwnd_ = nullptr;
  bool loadTried_ = false;
  bool unloaded_ = false;
  // Duplicates refused while the window is being made: told once it exists, so that a session ending
  // meanwhile finds the whole list to save.
  bool loading_ = false;
  int deferredDuplicates_ = 0;
  SearchList searchList_;
  MainLayout layout_ = MainLayout::Initial();
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  FontHandle font_;
  IconHandle icon_, smallIcon_, largeIcon_, terminateIcon_;
  HIMAGELIST terminateImages_ = nullptr;
  MenuHandle popupMenu_;  // mnuPopup: never on the menu bar
  bool timerEnabled_ = false;
  bool inShow_ = false;
  bool resizedInShow_ = false;
  SIZE layoutClient_{};  // the client size of the last layout pass, in pixels

  // --- state of the scan cycle (frmMainScan.cpp) ---
  void RenderResideList();
  void SyncMarkFromControl(int item);
  ScanCycle scan_;
  ProcessWin32 processes_;
  bool renderingResideList_ = false;  // our own changes to the list's check boxes are not the user's
  bool confirmingTerminate_ = false;
  bool autoRunDone_ = false;

  // --- state of entry editing (frmMainEdit.cpp) ---

  // --- state of menus and tray (frmMainMenu.cpp) ---

  // --- state of the splitter (frmMainSplitter.cpp) ---
  Splitter splitter_;                   // bSplitterMoving and the drag's arithmetic
  int splitterColour_ = COLOR_BTNFACE;  // COLOR_BTNSHADOW from the first move of a drag
};

}  // namespace tarnwick
