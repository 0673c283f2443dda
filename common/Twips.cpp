// Twips to pixels and back, rounding as the layout rules do.
#include "common/Twips.h"

#include <cmath>

namespace tarnwick {

double RoundTwips(double twips) { return std::nearbyint(twips); }

int TwipsToPixels(double twips, int dpi) { return static_cast<int>(std::nearbyint(twips * dpi / kTwipsPerInch)); }

double PixelsToTwips(int pixels, int dpi) { return pixels * kTwipsPerInch / dpi; }

PixelRect ToPixels(const TwipRect& r, int dpi) {
  const int left = TwipsToPixels(r.Left, dpi);
  const int top = TwipsToPixels(r.Top, dpi);
  return {left, top, TwipsToPixels(r.Right(), dpi) - left, TwipsToPixels(r.Bottom(), dpi) - top};
}

}  // namespace tarnwick
