// The splitter bar picSplitter between the two lists, a window class of its own.
// It drags itself with the mouse (the arithmetic is Splitter's) and hands the release to the window
// it divides.
#pragma once
#include <windows.h>

#include "ui/Layout.h"
#include "ui/Splitter.h"

namespace tarnwick {

inline constexpr const char* kSplitterClass = "TarnwickSplitter";

// What the bar needs of the window it divides.
class SplitterHost {
 public:
  virtual MainLayout& Layout() = 0;
  virtual int Dpi() const = 0;
  virtual double ClientHeightTwips() const = 0;
  // After a release: the window's resize handling, which lays it out and runs the scan timer.
  virtual void ResizeHandling() = 0;

 protected:
  ~SplitterHost() = default;
};

class SplitterBar {
 public:
  explicit SplitterBar(SplitterHost& host) : host_(host) {}

  // The bar's window class; create the bar with `this` as its creation parameter.
  static void RegisterClass(HINSTANCE instance);
  HWND Handle() const { return hwnd_; }

  // For its window procedure (PartWindowProc).
  static constexpr const char* kProcedureName = "picSplitter";
  LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

 private:
  void OnMouseMove(int y);
  void OnMouseUp();
  void OnCaptureLost();
  void Paint(HDC dc) const;
  void Repaint() const;
  void Place() const;

  SplitterHost& host_;
  HWND hwnd_ = nullptr;
  Splitter splitter_;           // bSplitterMoving and the drag's arithmetic
  int colour_ = COLOR_BTNFACE;  // COLOR_BTNSHADOW from the first move of a drag
};

}  // namespace tarnwick
