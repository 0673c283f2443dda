// The menu commands and the way into and out of the notification area.
#include "ui/frmMain.h"

#include <cstring>

#include "common/AppMessageWin32.h"
#include "tray/modTaskTray.h"
#include "ui/VersionText.h"

namespace tarnwick {
namespace {

// The version numbers of the executable's own version resource, as the version box shows them. Read from
// the image already in memory: the version functions would bring in VERSION.dll, which Windows searches
// for beside the exe first.
VersionNumbers OwnVersion() {
  VersionNumbers version;
  HMODULE exe = GetModuleHandleA(nullptr);
  HRSRC found = FindResourceA(exe, MAKEINTRESOURCEA(VS_VERSION_INFO), MAKEINTRESOURCEA(16));  // RT_VERSION
  HGLOBAL loaded = found != nullptr ? LoadResource(exe, found) : nullptr;
  const auto* data = static_cast<const unsigned char*>(loaded != nullptr ? LockResource(loaded) : nullptr);
  const DWORD size = found != nullptr ? SizeofResource(exe, found) : 0;
  // VS_VERSIONINFO: three WORDs (length, value length, type), the key "VS_VERSION_INFO" with its NUL,
  // padding to 32 bits, then the VS_FIXEDFILEINFO.
  constexpr std::size_t kKeyChars = sizeof("VS_VERSION_INFO");
  constexpr std::size_t kFixedOffset = (3 * sizeof(WORD) + kKeyChars * sizeof(WCHAR) + 3) & ~std::size_t{3};
  if (data == nullptr || size < kFixedOffset + sizeof(VS_FIXEDFILEINFO)) return version;
  WORD valueLength = 0;
  std::memcpy(&valueLength, data + sizeof(WORD), sizeof(valueLength));
  VS_FIXEDFILEINFO info{};
  std::memcpy(&info, data + kFixedOffset, sizeof(info));
  if (valueLength < sizeof(info) || info.dwSignature != 0xFEEF04BD) return version;
  version.Major = HIWORD(info.dwFileVersionMS);
  version.Minor = LOWORD(info.dwFileVersionMS);
  // The revision is the fourth field of major.minor.build.revision; the build number is not shown.
  version.Revision = LOWORD(info.dwFileVersionLS);
  return version;
}

}  // namespace

void FrmMain::OnMenuFileItem(int index) {
  if (index == 0) Unload();
}

void FrmMain::OnMenuViewItem(int index) {
  if (index != 0) return;
  HMENU bar = GetMenu(hwnd_);
  const bool wasChecked = (GetMenuState(bar, IDM_VIEWITEM0, MF_BYCOMMAND) & MF_CHECKED) != 0;
  CheckMenuItem(bar, IDM_VIEWITEM0, MF_BYCOMMAND | (wasChecked ? MF_UNCHECKED : MF_CHECKED));
  // The mark, read back, decides: the z-order follows what the user sees on the menu.
  const bool onTop = (GetMenuState(bar, IDM_VIEWITEM0, MF_BYCOMMAND) & MF_CHECKED) != 0;
  SetWindowPos(hwnd_, onTop ? HWND_TOPMOST : HWND_NOTOPMOST, 0, 0, 0, 0, SWP_NOSIZE | SWP_NOMOVE);
}

void FrmMain::OnMenuHelpItem(int index) {
  if (index != 0) return;
  const std::string text = VersionText(setup_.exeName, OwnVersion());
  AppMessageBox(MessageOwner(), text.c_str(), MB_OK);
}

void FrmMain::OnMenuPopupItem(int index) {
  if (index == 0) ShowFromTray();
}

void FrmMain::GoToTray() {
  // Hidden without an icon, the window could not be reached: it then stays minimised on the taskbar.
  const bool iconShown = tray_.AddTrayIcon(TrayTipText());
  SetTimerEnabled(false);
  if (iconShown) Hide();
}

void FrmMain::StartInTray() {
  if (tray_.AddTrayIcon(TrayTipText())) {
    Hide();
    return;
  }
  // Minimised, the window tries the icon once more, and stays on the taskbar if the shell still refuses.
  ShowWindow(Handle(), SW_SHOWMINNOACTIVE);
}

void FrmMain::ShowWithoutIcon() {
  SetTimerEnabled(false);
  stayOnTaskbar_ = true;
  ShowWindow(Handle(), SW_SHOWMINNOACTIVE);
  stayOnTaskbar_ = false;
}

void FrmMain::ShowFromTray() {
  tray_.RemoveTrayIcon();
  Show();  // normal state, then shown: the resize handling lays out and restarts the scan
}

}  // namespace tarnwick
