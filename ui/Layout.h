// The main window's geometry in twips, the layout pass that places its controls, and the
// conversion to pixels at a given DPI.
#pragma once

namespace tarnwick {

inline constexpr double kTwipsPerInch = 1440.0;

struct TwipRect {
  double Left = 0, Top = 0, Width = 0, Height = 0;
  double Bottom() const { return Top + Height; }
  double Right() const { return Left + Width; }
};

struct MainLayout {
  TwipRect lblProcessList, lstProcess, cmdAdd, cmdEdit, cmdDelete, lblProcessReside, lstResideList;
  TwipRect cmdCheckAll[2];
  TwipRect cmdTerminate, picSplitter;
  double ImageNameColumn = 1440;   // widths of the search list's two columns
  double DescriptionColumn = 1440;

  // The window's geometry as designed, before the first layout pass.
  static MainLayout Initial();
};

inline constexpr double kInitialClientWidth = 6495;
inline constexpr double kInitialClientHeight = 5415;

// Rounds to a whole twip, a half to the even neighbour.
double RoundTwips(double twips);

// Places the controls for a client area of width x height twips. An assignment that would make a
// width or height negative is skipped and the control keeps its value, as the window system would.
void LayoutPass(MainLayout& layout, double clientWidth, double clientHeight);

// Pixels for a twip coordinate at the given DPI. Rects are converted by their edges, so controls
// that touch in twips touch in pixels too.
int TwipsToPixels(double twips, int dpi);
double PixelsToTwips(int pixels, int dpi);

struct PixelRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};
PixelRect ToPixels(const TwipRect& rect, int dpi);

}  // namespace tarnwick
