// The main window's size and place: showing, the resize handling, the layout pass in pixels, and DPI.
#include "ui/frmMain.h"

namespace tarnwick {

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
    // Minimised because the shell lost the icon and refused it again: tried enough, it stays there.
    if (!stayOnTaskbar_) GoToTray();
    return;
  }
  ApplyLayout();
  SetTimerEnabled(true);
}

double FrmMain::ClientHeightTwips() const { return PixelsToTwips(ClientRect().bottom, dpi_); }

void FrmMain::ApplyLayout() {
  const RECT client = ClientRect();
  layoutClient_ = {client.right, client.bottom};
  // The user may have dragged the first column's edge: the pass works from its real width.
  layout_.ImageNameColumn = searchView_.FirstColumnTwips(layout_.ImageNameColumn, dpi_);

  LayoutPass(layout_, PixelsToTwips(client.right, dpi_), PixelsToTwips(client.bottom, dpi_));

  PlaceControls();
  searchView_.FitSecondColumn(layout_.DescriptionColumn, dpi_);
  runningView_.FitColumn();
}

void FrmMain::OnDpiChanged(int dpi, const RECT& suggested) {
  // The window moved to a monitor with another scaling: the geometry stays in twips, its pixels,
  // the fonts and the pictures follow. The first column keeps its twips, even if the user dragged it.
  layout_.ImageNameColumn = searchView_.FirstColumnTwips(layout_.ImageNameColumn, dpi_);
  dpi_ = dpi;
  searchView_.SetColumnWidth(0, layout_.ImageNameColumn, dpi_);
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

}  // namespace tarnwick
