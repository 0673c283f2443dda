// Drives Tarnwick.exe from another process: start, find, read, press, answer.
#include "tests/support/Driver.h"

#include <commctrl.h>
#include <psapi.h>
#include <shellapi.h>

#include <fstream>
#include <sstream>
#include <thread>
#include <utility>

#include "common/Text.h"
#include "common/WideTextWin32.h"
#include "process/ProcessWin32.h"
#include "ui/frmMainIds.h"

namespace tarnwick::test {

bool WaitUntil(const std::function<bool()>& pred, std::chrono::milliseconds timeout) {
  const auto end = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    if (pred()) return true;
    if (std::chrono::steady_clock::now() > end) return false;
    std::this_thread::sleep_for(20ms);
  }
}

std::string BinDir() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string dir(path, n);
  return dir.substr(0, dir.rfind('\\') + 1);
}

namespace {

void RemoveTree(const std::string& dir) {
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA((dir + "*").c_str(), &found);
  if (search != INVALID_HANDLE_VALUE) {
    do {
      const std::string name = found.cFileName;
      if (name == "." || name == "..") continue;
      const std::string full = dir + name;
      if (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
        RemoveTree(full + "\\");
      } else {
        SetFileAttributesA(full.c_str(), FILE_ATTRIBUTE_NORMAL);
        DeleteFileA(full.c_str());
      }
    } while (FindNextFileA(search, &found));
    FindClose(search);
  }
  SetFileAttributesA(dir.c_str(), FILE_ATTRIBUTE_NORMAL);
  RemoveDirectoryA(dir.c_str());
}

}  // namespace

TempDir::TempDir() {
  char base[MAX_PATH];
  GetTempPathA(MAX_PATH, base);
  static unsigned counter = 0;
  for (;;) {
    std::ostringstream name;
    name << base << "tarnwick-test-" << GetCurrentProcessId() << "-" << ++counter << "-" << GetTickCount() << "\\";
    path_ = name.str();
    if (CreateDirectoryA(path_.c_str(), nullptr)) break;
  }
}

TempDir::~TempDir() { RemoveTree(path_); }

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

std::string ReadWideFile(const std::wstring& path) {
  const HANDLE file = CreateFileW(path.c_str(), GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return "(missing)";
  std::string bytes(1 << 16, '\0');
  DWORD n = 0;
  ::ReadFile(file, bytes.data(), static_cast<DWORD>(bytes.size()), &n, nullptr);
  CloseHandle(file);
  bytes.resize(n);
  return bytes;
}

std::string LogBody(const std::string& line) {
  const std::size_t start = line.find('\t') + 1;
  return line.substr(start, line.rfind('\t') - start);
}

std::vector<std::string> FileLines(const std::string& path) {
  const std::string text = ReadFile(path);
  std::vector<std::string> lines;
  for (std::size_t start = 0; start < text.size();) {
    const std::size_t end = text.find("\r\n", start);
    if (end == std::string::npos) {
      lines.push_back(text.substr(start));
      break;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return lines;
}

void WriteFile(const std::string& path, const std::string& content) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << content;
}

bool FileExists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

Process::Process(Process&& other) noexcept
    : process_(std::exchange(other.process_, nullptr)), id_(std::exchange(other.id_, 0)) {}

Process& Process::operator=(Process&& other) noexcept {
  if (this != &other) {
    Kill();
    if (process_ != nullptr) CloseHandle(process_);
    process_ = std::exchange(other.process_, nullptr);
    id_ = std::exchange(other.id_, 0);
  }
  return *this;
}

Process::~Process() {
  Kill();
  if (process_ != nullptr) CloseHandle(process_);
}

bool Process::Running() const { return process_ != nullptr && WaitForSingleObject(process_, 0) == WAIT_TIMEOUT; }

bool Process::WaitExit(std::chrono::milliseconds timeout) const {
  return process_ == nullptr || WaitForSingleObject(process_, static_cast<DWORD>(timeout.count())) == WAIT_OBJECT_0;
}

DWORD Process::ExitCode() const {
  DWORD code = 0;
  GetExitCodeProcess(process_, &code);
  return code;
}

void Process::Kill() {
  if (Running()) {
    TerminateProcess(process_, 1);
    WaitForSingleObject(process_, 5000);
  }
}

Process Start(const std::string& exePath, const std::string& args, HANDLE output) {
  // Paths and arguments are UTF-8, as the program's texts: a sleeper may be named in any script.
  std::wstring commandLine = WideFromUtf8("\"" + exePath + "\"" + (args.empty() ? "" : " " + args));
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  if (output != nullptr) {
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = output;
  }
  PROCESS_INFORMATION info{};
  if (!CreateProcessW(WideFromUtf8(exePath).c_str(), commandLine.data(), nullptr, nullptr, output != nullptr, 0,
                      nullptr, nullptr, &startup, &info)) {
    return Process();
  }
  return Process(info);
}

bool WaitReady(const Process& process) {
  return WaitUntil([&] {
    char name[MAX_PATH];
    return GetModuleFileNameExA(process.Handle(), nullptr, name, MAX_PATH) > 0;
  });
}

bool Runs(const std::string& imageName) {
  ProcessWin32 api;
  return FindRunningImages(api, {imageName})[0];
}

void EndAll(const std::string& imageName) {
  ProcessWin32 api;
  std::vector<SnapshotEntry> snapshot;
  (void)api.Snapshot(snapshot);
  for (const SnapshotEntry& entry : snapshot) {
    if (!EqualsNoCase(entry.ExeName, imageName)) continue;
    ProcessRef process(api, kTerminateRights | kSynchronizeRights, entry.Id);
    if (process && api.Terminate(process.Get(), 0)) api.WaitForExit(process.Get(), 5000);
  }
}

Process StartSleeper(const TempDir& dir, const std::string& imageName, bool wide) {
  const std::string target = dir.File(imageName);
  CopyFileW(WideFromUtf8(BinDir() + (wide ? "sleeper64.exe" : "sleeper.exe")).c_str(), WideFromUtf8(target).c_str(),
            FALSE);
  return Start(target);
}

App::App(const std::string& exeName, std::size_t folderLength) : folder_(dir_.Path()) {
  if (folderLength > folder_.size() + 1) {
    folder_ += std::string(folderLength - folder_.size() - 1, 'f') + "\\";
    CreateDirectoryA(folder_.c_str(), nullptr);
  }
  exePath_ = folder_ + exeName;
  CopyFileA((BinDir() + "Tarnwick.exe").c_str(), exePath_.c_str(), FALSE);
}

Process& App::Run(const std::string& args) {
  process_ = Start(exePath_, args);
  return process_;
}

namespace {

struct FindContext {
  DWORD processId;
  std::string className;
  bool visibleOnly;
  std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND hwnd, LPARAM param) {
  auto& context = *reinterpret_cast<FindContext*>(param);
  DWORD owner = 0;
  GetWindowThreadProcessId(hwnd, &owner);
  if (owner != context.processId) return TRUE;
  if (context.visibleOnly && !IsWindowVisible(hwnd)) return TRUE;
  char cls[256] = {};
  GetClassNameA(hwnd, cls, sizeof(cls));
  if (context.className == cls) context.found.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> Windows(DWORD processId, const std::string& className, bool visibleOnly) {
  FindContext context{processId, className, visibleOnly, {}};
  EnumWindows(&CollectWindow, reinterpret_cast<LPARAM>(&context));
  return context.found;
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId, const std::string& className, bool visibleOnly) {
  return Windows(processId, className, visibleOnly);
}

HWND App::MainWindow() const {
  for (HWND hwnd : Windows(process_.Id(), kMainWindowClass, false)) {
    // The window exists from WM_CREATE on; it is ready once its last control does.
    if (GetDlgItem(hwnd, IDC_PICSPLITTER) != nullptr) return hwnd;
  }
  return nullptr;
}

HWND App::WaitMainWindow(bool visible, std::chrono::milliseconds timeout) const {
  HWND hwnd = nullptr;
  WaitUntil(
      [&] {
        hwnd = MainWindow();
        return hwnd != nullptr && (!visible || IsWindowVisible(hwnd));
      },
      timeout);
  return (hwnd != nullptr && (!visible || IsWindowVisible(hwnd))) ? hwnd : nullptr;
}

HWND App::Control(int id) const { return GetDlgItem(MainWindow(), id); }

bool App::Close(std::chrono::milliseconds timeout) {
  HWND hwnd = MainWindow();
  if (hwnd != nullptr) PostMessageA(hwnd, WM_CLOSE, 0, 0);
  return process_.WaitExit(timeout);
}

std::string WindowText(HWND hwnd) {
  wchar_t text[1024] = {};
  SendMessageW(hwnd, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(text));
  return Utf8FromWide(text);
}

void PressButton(HWND button) { PostMessageA(button, BM_CLICK, 0, 0); }

void PostCommand(HWND window, int id) { PostMessageA(window, WM_COMMAND, MAKEWPARAM(id, 0), 0); }

HWND FindMessageBox(DWORD processId, const std::string& caption) {
  for (HWND box : Windows(processId, "#32770", true)) {
    if (WindowText(box) == caption) return box;
  }
  return nullptr;
}

HWND WaitMessageBox(DWORD processId, const std::string& caption, std::chrono::milliseconds timeout) {
  HWND box = nullptr;
  WaitUntil([&] { return (box = FindMessageBox(processId, caption)) != nullptr; }, timeout);
  return box;
}

std::string MessageBoxText(HWND box) {
  // The text is the box's static control that is not the icon.
  std::string text;
  for (HWND child = GetWindow(box, GW_CHILD); child != nullptr; child = GetWindow(child, GW_HWNDNEXT)) {
    char cls[64] = {};
    GetClassNameA(child, cls, sizeof(cls));
    if (lstrcmpiA(cls, "Static") == 0 && !(GetWindowLongA(child, GWL_STYLE) & SS_ICON)) {
      const std::string t = WindowText(child);
      if (!t.empty()) text = t;
    }
  }
  return text;
}

void AnswerMessageBox(HWND box, int buttonId) { PostMessageA(GetDlgItem(box, buttonId), BM_CLICK, 0, 0); }

RECT ClientRect(HWND hwnd) {
  RECT r{};
  GetClientRect(hwnd, &r);
  return r;
}

RECT ChildRect(HWND child) {
  RECT r{};
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

namespace {

NOTIFYICONDATAA TrayIconRecord(HWND owner, UINT id) {
  NOTIFYICONDATAA record{};
  record.cbSize = NOTIFYICONDATAA_V1_SIZE;
  record.hWnd = owner;
  record.uID = id;
  return record;
}

}  // namespace

// A change of nothing succeeds exactly for an icon the shell has.
bool TrayIconExists(HWND owner, UINT id) {
  NOTIFYICONDATAA record = TrayIconRecord(owner, id);
  return Shell_NotifyIconA(NIM_MODIFY, &record) != FALSE;
}

bool DeleteTrayIcon(HWND owner, UINT id) {
  NOTIFYICONDATAA record = TrayIconRecord(owner, id);
  return Shell_NotifyIconA(NIM_DELETE, &record) != FALSE;
}

COLORREF ScreenPixel(HWND window, int x, int y) {
  POINT p{x, y};
  ClientToScreen(window, &p);
  HDC screen = GetDC(nullptr);
  const COLORREF colour = GetPixel(screen, p.x, p.y);
  ReleaseDC(nullptr, screen);
  return colour;
}

void SetText(HWND control, const std::string& text) {
  SendMessageW(control, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(WideFromUtf8(text).c_str()));
}

void PostKey(HWND hwnd, UINT key) {
  const UINT scan = MapVirtualKeyA(key, MAPVK_VK_TO_VSC);
  PostMessageA(hwnd, WM_KEYDOWN, key, static_cast<LPARAM>(1 | (scan << 16)));
  PostMessageA(hwnd, WM_KEYUP, key, static_cast<LPARAM>(1 | (scan << 16) | (3u << 30)));
}

HWND FocusOf(HWND hwnd) {
  GUITHREADINFO info{};
  info.cbSize = sizeof(info);
  return GetGUIThreadInfo(GetWindowThreadProcessId(hwnd, nullptr), &info) ? info.hwndFocus : nullptr;
}

}  // namespace tarnwick::test
