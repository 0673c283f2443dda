// Dragging the bar between the two lists: pointer pixels in, the splitter's twips out, bar painted.
#include "ui/frmMain.h"

namespace tarnwick {
namespace {

void FillBar(HWND bar, HDC dc, int colour) {
  RECT r;
  GetClientRect(bar, &r);
  FillRect(dc, &r, GetSysColorBrush(colour));
}

// The colour shows at once, not at the next paint, which a drag would keep postponing.
void RepaintBar(HWND bar, int colour) {
  if (HDC dc = GetDC(bar)) {
    FillBar(bar, dc, colour);
    ReleaseDC(bar, dc);
  }
}

void PlaceBar(HWND bar, const TwipRect& rect, int dpi) {
  const PixelRect r = ToPixels(rect, dpi);
  SetWindowPos(bar, nullptr, r.Left, r.Top, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace

void FrmMain::OnSplitterMouseDown(int) { splitter_.MouseDown(layout_); }

void FrmMain::OnSplitterMouseMove(int y) {
  if (!splitter_.bSplitterMoving) return;
  HWND bar = Control(IDC_PICSPLITTER);
  splitterColour_ = COLOR_BTNSHADOW;
  RepaintBar(bar, splitterColour_);
  // y counts in pixels from the bar's top as shown, which may lie between two pixels' worth of
  // twips: take the pointer's place in the client area and measure it from the bar's top in twips.
  const double pointer = PixelsToTwips(ToPixels(layout_.picSplitter, dpi_).Top + y, dpi_);
  if (!splitter_.MouseMove(layout_, pointer - layout_.picSplitter.Top)) return;
  // Only the bar moves while the button is held; the lists follow at the release.
  PlaceBar(bar, layout_.picSplitter, dpi_);
}

void FrmMain::OnSplitterMouseUp(int) {
  HWND bar = Control(IDC_PICSPLITTER);
  if (!splitter_.MouseUp(layout_, PixelsToTwips(ClientRect().bottom, dpi_))) return;  // not pressed on the bar
  splitterColour_ = COLOR_BTNFACE;
  RepaintBar(bar, splitterColour_);
  ResizeHandling();  // lays the window out from the new heights and runs the scan timer
  RestSplitter(layout_);
  PlaceBar(bar, layout_.picSplitter, dpi_);
}

void FrmMain::OnSplitterCaptureLost() {
  if (!splitter_.bSplitterMoving) return;
  HWND bar = Control(IDC_PICSPLITTER);
  splitter_.Cancel(layout_);
  splitterColour_ = COLOR_BTNFACE;
  RepaintBar(bar, splitterColour_);
  PlaceBar(bar, layout_.picSplitter, dpi_);
}

void FrmMain::PaintSplitter(HDC dc) { FillBar(Control(IDC_PICSPLITTER), dc, splitterColour_); }

}  // namespace tarnwick
