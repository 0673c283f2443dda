// Drives Tarnwick.exe from another process of the same Wine prefix, as Windows would deliver input:
// starts it in a folder of its own, finds its windows and controls, reads its lists, presses buttons
// and answers message boxes.
#pragma once
#include <windows.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace tarnwick::test {

using namespace std::chrono_literals;

// Polls pred until it holds or the time is up; true when it held.
bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout = 5000ms);

// The folder of the running test program, with a trailing backslash: Tarnwick.exe and the sleepers sit there.
std::string BinDir();

// A fresh folder under %TEMP%, removed with everything in it at the end.
class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;
  const std::string& Path() const { return path_; }  // ends in a backslash
  std::string File(const std::string& name) const { return path_ + name; }

 private:
  std::string path_;
};

std::string ReadFile(const std::string& path);
// The first 64 KiB of the file at a path in any script; "(missing)" where it cannot be opened.
std::string ReadWideFile(const std::wstring& path);
// The lines of a text file whose lines end in CR LF.
std::vector<std::string> FileLines(const std::string& path);
// A log line without its time and its last field, the program's path: "source, image, process id,
// session, what, why" with tabs between ("-" for an empty one).
std::string LogBody(const std::string& line);
void WriteFile(const std::string& path, const std::string& content);
bool FileExists(const std::string& path);

// A started process that is ended (if still running) when the object goes.
class Process {
 public:
  Process() = default;
  explicit Process(PROCESS_INFORMATION info) : process_(info.hProcess), id_(info.dwProcessId) {
    CloseHandle(info.hThread);
  }
  Process(Process&& other) noexcept;
  Process& operator=(Process&& other) noexcept;
  ~Process();
  bool Running() const;
  bool WaitExit(std::chrono::milliseconds timeout) const;
  DWORD ExitCode() const;
  void Kill();
  DWORD Id() const { return id_; }
  HANDLE Handle() const { return process_; }

 private:
  HANDLE process_ = nullptr;
  DWORD id_ = 0;
};

// Starts exePath with the argument string; an empty Process when it did not start. With `output` (an
// inheritable file or pipe) its standard output goes there, as a script's redirection hands it over.
Process Start(const std::string& exePath, const std::string& args = "", HANDLE output = nullptr);

// Waits until the process's main module has a name: from then on the scan can identify it.
bool WaitReady(const Process& process);

// Whether a process of the image runs, as the window's scan sees it.
bool Runs(const std::string& imageName);
// Ends every process of the image: what a test's supervisor or launcher left behind.
void EndAll(const std::string& imageName);

// Copies a sleeper (of this build's bitness, or 64-bit where `wide`) into dir under imageName and starts it.
Process StartSleeper(const TempDir& dir, const std::string& imageName, bool wide = false);

// Tarnwick.exe copied into a folder of its own, so that its profile file is the test's. With a
// folderLength, that folder lies inside the test's and its path (backslash included) is that long.
class App {
 public:
  explicit App(const std::string& exeName = "Tarnwick.exe", std::size_t folderLength = 0);
  const TempDir& Dir() const { return dir_; }
  const std::string& Folder() const { return folder_; }
  std::string IniPath() const { return folder_ + "Tarnwick.ini"; }
  std::string ExePath() const { return exePath_; }
  Process& Run(const std::string& args = "");  // starts it; Process() stays owned here
  Process& Proc() { return process_; }
  // The main window of this process (visible or not); nullptr until it exists with all its controls.
  HWND MainWindow() const;
  // Waits for the main window to exist, and to be visible when `visible`.
  HWND WaitMainWindow(bool visible = true, std::chrono::milliseconds timeout = 10000ms) const;
  HWND Control(int id) const;
  // Closes the window with the close box and waits for the process to end.
  bool Close(std::chrono::milliseconds timeout = 10000ms);

 private:
  TempDir dir_;
  std::string folder_;
  std::string exePath_;
  Process process_;
};

// A test that starts with Tarnwick's window shown, from a folder of its own.
class ShownApp : public ::testing::Test {
 protected:
  void SetUp() override {
    app_.Run();
    ASSERT_NE(app_.WaitMainWindow(), nullptr);
  }
  App app_;
};

// Cross-process reading and writing of list views (their messages take pointers into the owner's memory).
int ListViewCount(HWND list);
std::string ListViewText(HWND list, int item, int subItem = 0);
std::vector<std::string> ListViewColumn(HWND list, int subItem = 0);
bool ListViewChecked(HWND list, int item);
bool ListViewSelected(HWND list, int item);
void SetListViewChecked(HWND list, int item, bool checked);
void SelectListViewItem(HWND list, int item);
int ListViewColumnWidth(HWND list, int column);
RECT ListViewItemRect(HWND list, int item);
// The item's 32-bit data value (its lParam).
LPARAM ListViewItemData(HWND list, int item);

// Window text, and a button press that does not wait (it may open a modal box).
std::string WindowText(HWND hwnd);
void PressButton(HWND button);
// Posts a menu command as the menu would send it.
void PostCommand(HWND window, int id);

// A message box (dialog class #32770) of the process with the caption; nullptr until it appears.
HWND FindMessageBox(DWORD processId, const std::string& caption);
HWND WaitMessageBox(DWORD processId, const std::string& caption, std::chrono::milliseconds timeout = 5000ms);
std::string MessageBoxText(HWND box);
void AnswerMessageBox(HWND box, int buttonId);
// Every top-level window of the process with that window class: the visible ones, or all.
std::vector<HWND> TopLevelWindows(DWORD processId, const std::string& className, bool visibleOnly = true);

// The client area in pixels, and a control's rectangle in its parent's client coordinates.
RECT ClientRect(HWND hwnd);
RECT ChildRect(HWND child);

// The notification-area icon (owner window, identifier) as the shell holds it: true while it exists.
bool TrayIconExists(HWND owner, UINT id);
// Deletes that icon from the shell, as a restarting shell loses it; true when it existed.
bool DeleteTrayIcon(HWND owner, UINT id);

// Linux programs (xdotool, ImageMagick) started from under Wine, which runs a non-Windows binary
// itself and hands back no process: wait for what it does. linuxPath names the program.
bool StartLinuxProgram(const std::string& linuxPath, const std::string& args);
// The Linux path of a path on drive Z:, which Wine maps to the Linux root.
std::string LinuxPath(const std::string& windowsPath);
// The Linux path of any Windows path, as Wine maps it (the temp folder lies on C:, not Z:).
std::string UnixPath(const std::string& windowsPath);
// The shell command that starts a Windows program of this build's bitness: Wine's 64-bit loader is
// called directly, since "wine" picks the 32-bit one, which a host may be unable to run.
std::string WineCommand();

// Shell commands on the Linux side. Wine hands back no process for a Linux program, so each script
// ends by moving its output into place: the file's arrival is the script's end.
class LinuxShell {
 public:
  // The script's standard output once it has ended; false when it did not end in time. The script
  // may hold neither double quotes nor backslashes: they would end the argument Wine passes to sh.
  bool Run(const std::string& script, std::string* output = nullptr);

  // Runs the input script and waits for its effect. Input can be lost on the way to a window now and
  // then: after a few seconds without the effect the retry script (by default the same input) goes once more.
  bool Input(const std::string& script, const std::function<bool()>& effect, const std::string& retry = "");

 private:
  TempDir scratch_;
  int runs_ = 0;
};

// The colour on the screen at a client point of the window.
COLORREF ScreenPixel(HWND window, int x, int y);
// Saves the screen's rectangle (screen coordinates) as a PNG; true once the file is complete.
bool SaveScreenshot(const RECT& area, const std::string& windowsPath, std::chrono::milliseconds timeout = 15000ms);

// Replaces a control's text as typing would leave it (WM_SETTEXT is carried across processes).
void SetText(HWND control, const std::string& text);
// Posts a key press (down and up) into the window's queue, where a dialog's loop sees it as from the keyboard.
void PostKey(HWND hwnd, UINT key);
// The window that has the keyboard focus in hwnd's thread.
HWND FocusOf(HWND hwnd);

}  // namespace tarnwick::test
