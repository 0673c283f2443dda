// The main window "Velm Tarnwick", composed of its parts.
// It makes the parts (the search list's view, the running list's view, the splitter bar), routes
// Windows' messages to them and to its handlers, and lays them out.
// The handlers live in one file per concern: frmMain.cpp (window, controls, load, unload),
// frmMainLayout.cpp (show, resize, layout, DPI), frmMainScan.cpp (scan cycle, terminate),
// frmMainEdit.cpp (entry editing, persistence), frmMainMenu.cpp (menus, tray).
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Win32Handles.h"
#include "process/Privilege.h"
#include "searchlist/SearchList.h"
#include "searchlist/SearchListViewWin32.h"
#include "tray/modTaskTray.h"
#include "ui/AutoRun.h"
#include "ui/Layout.h"
#include "ui/RunningListViewWin32.h"
#include "ui/ScanCycle.h"
#include "ui/SplitterBarWin32.h"
#include "ui/frmMainIds.h"

namespace tarnwick {

// What the program start hands to its main window.
struct MainWindowSetup {
  bool AutoMode = false;     // "-a": the first tick is the unattended run
  std::string ExeName;       // its file name without extension: the tip and the version box
  std::wstring ProfilePath;  // the file of the user's entries
  bool Elevated = false;     // its save then writes through no link found in the file's place
  // Not empty: the window never saves the list, and this says why (Elevated in a folder that others can
  // change, or a list that could not be read).
  std::string ReadOnlyReason;
  // A line of the log and of a redirected standard output: source, what, why. Where no box may ask.
  std::function<void(std::string_view, std::string_view, std::string_view)> Note;
  ProcessApi* Processes = nullptr;  // the running Processes, for the scan
  TerminatePass UnattendedPass;     // "-a": ends, awaits, logs; its result is the exit code
  // "-a" with a list that could not be read: logs why and that nothing was done; its result is the exit code.
  std::function<int(const std::string& reason)> RefuseUnattended;
  WindowTerminatePass TerminatePass;  // the Terminate command: ends, awaits, logs; its result is the message
  // Held for each tick's scan only, so that the window's list sees what a pass sees.
  PrivilegeApi* ScanRights = nullptr;
};

// The window's life, in order; FrmMain::MoveTo holds the legal steps.
enum class WindowPhase {
  NotLoaded,          // not made yet: the first Handle() makes it
  Loaded,             // made (or its making failed: hwnd_ tells)
  UnloadAfterEnding,  // closed while Terminate waits: it goes once the wait is over
  Unloaded,           // gone for good: nothing brings it back
};

// The one modal moment the window is in, innermost; a moment's guard puts the outer one back.
enum class WindowModal { None, ConfirmingTerminate, Ending, AskingToSave };

class FrmMain final : public TrayHost, private SplitterHost {
 public:
  explicit FrmMain(MainWindowSetup setup);
  ~FrmMain();
  FrmMain(const FrmMain&) = delete;
  FrmMain& operator=(const FrmMain&) = delete;

  // Loads the window on the first call only: nullptr once unloaded, or if it could not be made.
  HWND Handle() override;
  bool IsLoaded() const { return hwnd_ != nullptr; }
  bool WasUnloaded() const { return phase_ == WindowPhase::Unloaded; }
  void Show();  // normal state, shown modeless; the resize handling then runs
  void Hide();
  // Stops the scan, saves the user's entries (asking what to do if they cannot be saved, unless the
  // session ends or the run is unattended), destroys the window.
  void Unload();
  void SetTimerEnabled(bool enabled);
  bool TimerEnabled() const { return timerEnabled_; }
  // Until the window is unloaded; the result is the program's exit code (an unattended run's pass).
  int RunMessageLoop();

  // The executable's name as run, with one NUL: the tip of the notification-area icon.
  std::string TrayTipText() const;

  // Brings the window back from the notification area ("&Show..." and the icon's double-click).
  void ShowFromTray() override;
  // The shell lost the icon and would not take it again: minimised on the taskbar instead.
  void ShowWithoutIcon() override;
  TrayIcon& Tray() { return tray_; }
  // The "-i" start: hidden behind the icon, or shown minimised when the shell takes no icon.
  void StartInTray();
  // mnuPopup, the icon's right-button menu.
  HMENU PopupMenu() const override { return popupMenu_.Get(); }

  // For its window procedure (PartWindowProc).
  static constexpr const char* kProcedureName = "frmMain";
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  void Load();
  // Takes the phase one step on where the step is legal; false (and no change) where it is not.
  bool MoveTo(WindowPhase next);
  HWND Control(int id) const { return GetDlgItem(hwnd_, id); }

  // Holds a modal moment for its lifetime, whichever way its scope is left, and puts the outer one back.
  class ModalScope {
   public:
    ModalScope(FrmMain& window, WindowModal modal) : window_(window), outer_(window.modal_) { window.modal_ = modal; }
    ~ModalScope() { window_.modal_ = outer_; }
    ModalScope(const ModalScope&) = delete;
    ModalScope& operator=(const ModalScope&) = delete;

   private:
    FrmMain& window_;
    WindowModal outer_;
  };

  // SplitterHost
  MainLayout& Layout() override { return layout_; }
  int Dpi() const override { return dpi_; }
  double ClientHeightTwips() const override;
  void ResizeHandling() override;

  // frmMain.cpp and frmMainLayout.cpp
  void OnCreate();
  // WM_CLOSE (the close box, Alt+F4), or the end of the Windows session: unloads, after Terminate's wait.
  void OnClose(bool sessionEnds);
  void CreateControls();
  void CreateMenus();
  void ApplyFonts();
  void LoadSequence();
  void OnSize(WPARAM kind);
  void ApplyLayout();
  void PlaceControls();
  void OnDpiChanged(int dpi, const RECT& suggested);
  void OnCommand(int id);
  LRESULT OnNotify(const NMHDR& header);
  void AddSearchEntry(const std::string& imageName, const std::string& description, bool builtIn);
  void ShowDuplicateMessage();
  HWND MessageOwner() const;
  RECT ClientRect() const;

  // frmMainScan.cpp: the scan cycle and the terminate command.
  void OnScanTick();
  void OnTerminateClick();
  void EndTickedLines();
  void OnCheckAllClick(int index);

  // frmMainEdit.cpp: the user's entries, the entry dialog and the profile file.
  void LoadSearchList();
  // What the load found (an unreadable file, duplicates, entries skipped or never matching): once, in one
  // box where someone can answer it, and in the log.
  void TellListLoad();
  // Saves; on a failure that would lose an edit, asks Retry or Cancel where someone can answer, else
  // writes the log line. Returns once the window may go.
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

  const MainWindowSetup setup_;
  HWND hwnd_ = nullptr;
  WindowPhase phase_ = WindowPhase::NotLoaded;
  WindowModal modal_ = WindowModal::None;
  int exitCode_ = 0;
  bool timerEnabled_ = false;

  // The models, and the parts that show them.
  SearchList searchList_;
  ScanCycle scan_;
  AutoRun autoRun_;
  SearchListView searchView_{searchList_};
  RunningListView runningView_{scan_};
  SplitterBar splitterBar_{*this};
  TrayIcon tray_{*this};
  bool stayOnTaskbar_ = false;  // while ShowWithoutIcon minimises the window

  std::vector<std::string> listTold_;  // what the load found, told once the window exists
  std::string listUnread_;             // why the list file could not be read: nothing may act on it
  std::string saveRefused_;            // why this session never saves the list; empty: it saves
  bool sessionEnded_ = false;          // from then on nobody answers a question

  // Geometry, DPI and what is drawn at that DPI.
  MainLayout layout_ = MainLayout::Initial();
  int dpi_ = USER_DEFAULT_SCREEN_DPI;
  bool inShow_ = false;
  bool resizedInShow_ = false;
  SIZE layoutClient_{};  // the client size of the last layout pass, in pixels
  FontHandle font_;
  IconHandle icon_, smallIcon_, largeIcon_, terminateIcon_;
  ImageListHandle terminateImages_;
  MenuHandle popupMenu_;  // mnuPopup: never on the menu bar
};

}  // namespace tarnwick
