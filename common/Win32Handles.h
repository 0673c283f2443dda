// RAII owners for the Win32 handles the program keeps: each closes its handle exactly once.
#pragma once
#include <windows.h>
#include <commctrl.h>

#include <type_traits>
#include <utility>

#include "common/SystemFunctionWin32.h"

namespace tarnwick {

template <typename H, typename Closer>
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(H handle) : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(std::exchange(other.handle_, H{})) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) Reset(std::exchange(other.handle_, H{}));
    return *this;
  }
  ~UniqueHandle() { Reset(); }

  H Get() const { return handle_; }
  explicit operator bool() const {
    if constexpr (std::is_same_v<H, HANDLE>) {
      if (handle_ == INVALID_HANDLE_VALUE) return false;
    }
    return handle_ != H{};
  }
  void Reset(H handle = H{}) {
    if (*this) Closer{}(handle_);
    handle_ = handle;
  }
  H Release() { return std::exchange(handle_, H{}); }

 private:
  H handle_{};
};

struct CloseKernelHandle {
  void operator()(HANDLE h) const { CloseHandle(h); }
};
struct CloseIcon {
  void operator()(HICON h) const { DestroyIcon(h); }
};
struct CloseGdiObject {
  void operator()(HGDIOBJ h) const { DeleteObject(h); }
};
struct CloseMenu {
  void operator()(HMENU h) const { DestroyMenu(h); }
};
struct CloseImageList {
  void operator()(HIMAGELIST h) const { ImageList_Destroy(h); }
};

struct FreeLocal {
  void operator()(void* memory) const { LocalFree(memory); }
};

// Windows before Vista lacks private namespaces: the call is looked up where the handle is closed.
struct ClosePrivateNamespaceHandle {
  void operator()(HANDLE h) const {
    using Close = BOOLEAN(WINAPI*)(HANDLE, ULONG);
    if (const auto close = SystemFunction<Close>("kernel32.dll", "ClosePrivateNamespace")) close(h, 0);
  }
};

struct CloseRegistryKey {
  void operator()(HKEY key) const { RegCloseKey(key); }
};

struct CloseServiceManagerHandle {
  void operator()(SC_HANDLE h) const { CloseServiceHandle(h); }
};

using KernelHandle = UniqueHandle<HANDLE, CloseKernelHandle>;
using ServiceHandle = UniqueHandle<SC_HANDLE, CloseServiceManagerHandle>;
using RegistryKey = UniqueHandle<HKEY, CloseRegistryKey>;
using IconHandle = UniqueHandle<HICON, CloseIcon>;
using FontHandle = UniqueHandle<HGDIOBJ, CloseGdiObject>;
using MenuHandle = UniqueHandle<HMENU, CloseMenu>;
using ImageListHandle = UniqueHandle<HIMAGELIST, CloseImageList>;
using NamespaceHandle = UniqueHandle<HANDLE, ClosePrivateNamespaceHandle>;
// Memory the system allocated for the caller to LocalFree: security descriptors, SID strings.
using LocalMemory = UniqueHandle<void*, FreeLocal>;

// A window's device context (the screen's for nullptr) for the scope: GetDC, then ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND hwnd) : hwnd_(hwnd), dc_(GetDC(hwnd)) {}
  ~WindowDc() {
    if (dc_ != nullptr) ReleaseDC(hwnd_, dc_);
  }
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  HDC dc_;
};

// The painting context of a WM_PAINT for the scope: BeginPaint, then EndPaint.
class PaintDc {
 public:
  explicit PaintDc(HWND hwnd) : hwnd_(hwnd), dc_(BeginPaint(hwnd, &paint_)) {}
  ~PaintDc() { EndPaint(hwnd_, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  HDC Get() const { return dc_; }

 private:
  HWND hwnd_;
  PAINTSTRUCT paint_{};
  HDC dc_;
};

}  // namespace tarnwick
