// Dragging the bar between the two lists: pointer pixels in, the splitter's twips out, bar painted.
#include "ui/SplitterBarWin32.h"

#include <windowsx.h>

#include "common/Win32Handles.h"
#include "common/WindowPartWin32.h"

namespace tarnwick {

void SplitterBar::RegisterClass(HINSTANCE instance) {
  WNDCLASSEXA bar{};
  bar.cbSize = sizeof(bar);
  bar.lpfnWndProc = &PartWindowProc<SplitterBar>;
  bar.hInstance = instance;
  bar.hCursor = LoadCursor(nullptr, IDC_SIZENS);
  bar.lpszClassName = kSplitterClass;
  RegisterClassExA(&bar);
}

LRESULT SplitterBar::HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
  switch (msg) {
    case WM_NCCREATE:
      hwnd_ = hwnd;
      break;
    case WM_LBUTTONDOWN:
    case WM_RBUTTONDOWN:
    case WM_MBUTTONDOWN:
      SetCapture(hwnd_);
      splitter_.MouseDown(host_.Layout());
      return 0;
    case WM_MOUSEMOVE:
      OnMouseMove(GET_Y_LPARAM(lParam));
      return 0;
    case WM_LBUTTONUP:
    case WM_RBUTTONUP:
    case WM_MBUTTONUP:
      // The release is applied before the capture goes, which would otherwise cancel the drag.
      OnMouseUp();
      ReleaseCapture();
      return 0;
    case WM_CAPTURECHANGED:
    case WM_CANCELMODE:
      OnCaptureLost();
      break;  // the default handling of WM_CANCELMODE releases the capture
    case WM_PAINT: {
      const PaintDc dc(hwnd_);
      Paint(dc.Get());
      return 0;
    }
    case WM_NCDESTROY:
      hwnd_ = nullptr;
      break;
    default:
      break;
  }
  return DefWindowProcA(hwnd, msg, wParam, lParam);
}

void SplitterBar::OnMouseMove(int y) {
  if (!splitter_.bSplitterMoving) return;
  MainLayout& layout = host_.Layout();
  const int dpi = host_.Dpi();
  colour_ = COLOR_BTNSHADOW;
  Repaint();
  // y counts in pixels from the bar's top as shown, which may lie between two pixels' worth of
  // twips: take the pointer's place in the client area and measure it from the bar's top in twips.
  const double pointer = PixelsToTwips(ToPixels(layout.picSplitter, dpi).Top + y, dpi);
  if (!splitter_.MouseMove(layout, pointer - layout.picSplitter.Top)) return;
  // Only the bar moves while the button is held; the lists follow at the release.
  Place();
}

void SplitterBar::OnMouseUp() {
  MainLayout& layout = host_.Layout();
  if (!splitter_.MouseUp(layout, host_.ClientHeightTwips())) return;  // not pressed on the bar
  colour_ = COLOR_BTNFACE;
  Repaint();
  host_.ResizeHandling();  // lays the window out from the new heights and runs the scan timer
  RestSplitter(layout);
  Place();
}

void SplitterBar::OnCaptureLost() {
  if (!splitter_.bSplitterMoving) return;
  splitter_.Cancel(host_.Layout());
  colour_ = COLOR_BTNFACE;
  Repaint();
  Place();
}

void SplitterBar::Paint(HDC dc) const {
  RECT r;
  GetClientRect(hwnd_, &r);
  FillRect(dc, &r, GetSysColorBrush(colour_));
}

// The colour shows at once, not at the next paint, which a drag would keep postponing.
void SplitterBar::Repaint() const {
  const WindowDc dc(hwnd_);
  if (dc.Get() != nullptr) Paint(dc.Get());
}

void SplitterBar::Place() const {
  const PixelRect r = ToPixels(host_.Layout().picSplitter, host_.Dpi());
  SetWindowPos(hwnd_, nullptr, r.Left, r.Top, r.Width, r.Height, SWP_NOZORDER | SWP_NOACTIVATE);
}

}  // namespace tarnwick
