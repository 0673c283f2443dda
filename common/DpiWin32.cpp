// DPI-aware system calls with fallbacks for Windows versions that lack the per-monitor APIs.
#include "common/DpiWin32.h"

#include "common/SystemFunctionWin32.h"

namespace tarnwick {
namespace {

int SystemDpi() {
  const WindowDc screen(nullptr);
  const int dpi = screen.Get() != nullptr ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : 0;
  return dpi > 0 ? dpi : USER_DEFAULT_SCREEN_DPI;
}

}  // namespace

int WindowDpi(HWND hwnd) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = SystemFunction<GetDpiForWindowFn>("user32.dll", "GetDpiForWindow");
  if (getDpiForWindow != nullptr && hwnd != nullptr) {
    const UINT dpi = getDpiForWindow(hwnd);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

FontHandle CreateMessageFont(int dpi) {
  using SpiForDpiFn = BOOL(WINAPI*)(UINT, UINT, PVOID, UINT, UINT);
  static const auto spiForDpi = SystemFunction<SpiForDpiFn>("user32.dll", "SystemParametersInfoForDpi");
  NONCLIENTMETRICSW metrics{};
  metrics.cbSize = sizeof(metrics);
  if (spiForDpi != nullptr &&
      spiForDpi(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0, static_cast<UINT>(dpi))) {
    return FontHandle(CreateFontIndirectW(&metrics.lfMessageFont));
  }
  if (!SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof(metrics), &metrics, 0)) {
    return FontHandle(GetStockObject(DEFAULT_GUI_FONT));
  }
  // The system answered at its own DPI: scale the height to the window's.
  metrics.lfMessageFont.lfHeight = MulDiv(metrics.lfMessageFont.lfHeight, dpi, SystemDpi());
  return FontHandle(CreateFontIndirectW(&metrics.lfMessageFont));
}

void AdjustWindowRectForDpi(RECT& rect, DWORD style, DWORD exStyle, bool hasMenu, int dpi) {
  using AdjustForDpiFn = BOOL(WINAPI*)(LPRECT, DWORD, BOOL, DWORD, UINT);
  static const auto adjustForDpi = SystemFunction<AdjustForDpiFn>("user32.dll", "AdjustWindowRectExForDpi");
  if (adjustForDpi != nullptr && adjustForDpi(&rect, style, hasMenu, exStyle, static_cast<UINT>(dpi))) return;
  AdjustWindowRectEx(&rect, style, hasMenu, exStyle);
}

int SystemMetricForDpi(int index, int dpi) {
  using MetricForDpiFn = int(WINAPI*)(int, UINT);
  static const auto metricForDpi = SystemFunction<MetricForDpiFn>("user32.dll", "GetSystemMetricsForDpi");
  if (metricForDpi != nullptr) return metricForDpi(index, static_cast<UINT>(dpi));
  return MulDiv(GetSystemMetrics(index), dpi, SystemDpi());
}

}  // namespace tarnwick
