// The window procedure of an object that owns a window.
// The object is reached from the window itself (kept at WM_NCCREATE), never from a global, and no
// exception leaves the procedure.
#pragma once
#include <windows.h>

#include "common/ProcedureEdge.h"

namespace tarnwick {

// At WM_NCCREATE the object comes as the creation parameter and is kept with the window
// (GWLP_USERDATA); every later message reads it back. nullptr before WM_NCCREATE.
template <typename Part>
Part* WindowPart(HWND hwnd, UINT msg, LPARAM lParam) {
  if (msg != WM_NCCREATE) return reinterpret_cast<Part*>(GetWindowLongPtrA(hwnd, GWLP_USERDATA));
  auto* part = static_cast<Part*>(reinterpret_cast<const CREATESTRUCTA*>(lParam)->lpCreateParams);
  SetWindowLongPtrA(hwnd, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(part));
  return part;
}

// The class procedure for windows owned by a Part, which has
//   static constexpr const char* kProcedureName;   // told with a stopped exception
//   LRESULT HandleMessage(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
// A message before WM_NCCREATE, or one whose handler threw, goes to DefWindowProcA.
template <typename Part>
LRESULT CALLBACK PartWindowProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) noexcept {
  Part* part = WindowPart<Part>(hwnd, msg, lParam);
  const auto unhandled = [&] { return DefWindowProcA(hwnd, msg, wParam, lParam); };
  if (part == nullptr) return unhandled();
  return StopExceptions(
      Part::kProcedureName, [&] { return part->HandleMessage(hwnd, msg, wParam, lParam); }, unhandled);
}

}  // namespace tarnwick
