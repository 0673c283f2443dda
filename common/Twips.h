// Twips, the unit of all window geometry (1/1440 inch, 15 to a pixel at 96 DPI), and their pixels at a DPI.
#pragma once

namespace tarnwick {

inline constexpr double kTwipsPerInch = 1440.0;

struct TwipRect {
  double Left = 0, Top = 0, Width = 0, Height = 0;
  double Bottom() const { return Top + Height; }
  double Right() const { return Left + Width; }
};

struct PixelRect {
  int Left = 0, Top = 0, Width = 0, Height = 0;
};

// Rounds to a whole twip, a half to the even neighbour.
double RoundTwips(double twips);

// Pixels for a twip coordinate at the given DPI, and back.
int TwipsToPixels(double twips, int dpi);
double PixelsToTwips(int pixels, int dpi);

// A rect is converted by its edges, so that rects that touch in twips touch in pixels too.
PixelRect ToPixels(const TwipRect& rect, int dpi);

}  // namespace tarnwick
