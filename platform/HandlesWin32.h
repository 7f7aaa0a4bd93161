// One owner per handle: move-only wrappers that release Win32 handles, and a
// guard that puts back the GDI object a device context had selected.
#pragma once

#include <windows.h>

#include <concepts>
#include <type_traits>
#include <utility>

namespace velmora {

namespace detail {
// A deleter may say which value means "no handle" with a static Invalid();
// otherwise the value-initialised T (a null pointer) is used.
template <typename Deleter, typename T>
concept HasInvalidValue = requires {
  { Deleter::Invalid() } -> std::convertible_to<T>;
};
}  // namespace detail

// Owns one handle of type T and releases it with Deleter. Copying is deleted:
// exactly one object releases a given handle.
template <typename T, typename Deleter>
class UniqueHandle {
 public:
  static T InvalidValue() noexcept {
    if constexpr (detail::HasInvalidValue<Deleter, T>) {
      return Deleter::Invalid();
    } else {
      return T{};
    }
  }

  UniqueHandle() noexcept : handle_(InvalidValue()) {}
  explicit UniqueHandle(T handle) noexcept : handle_(handle) {}
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  ~UniqueHandle() { reset(); }

  T get() const noexcept { return handle_; }
  explicit operator bool() const noexcept { return handle_ != InvalidValue(); }

  // Gives up ownership without releasing.
  T release() noexcept { return std::exchange(handle_, InvalidValue()); }

  // Releases the handle held (if any) and takes ownership of `handle`.
  void reset(T handle = InvalidValue()) noexcept {
    T old = std::exchange(handle_, handle);
    if (old != InvalidValue()) Deleter{}(old);
  }

 private:
  T handle_;
};

struct KernelHandleDeleter {
  void operator()(HANDLE h) const noexcept { ::CloseHandle(h); }
};
// CreateFile and FindFirstFile report failure as INVALID_HANDLE_VALUE.
struct FileHandleDeleter {
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  void operator()(HANDLE h) const noexcept { ::CloseHandle(h); }
};
struct FindHandleDeleter {
  static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
  void operator()(HANDLE h) const noexcept { ::FindClose(h); }
};
struct LibraryDeleter {
  void operator()(HMODULE h) const noexcept { ::FreeLibrary(h); }
};
template <typename T>
struct GdiObjectDeleter {
  void operator()(T h) const noexcept { ::DeleteObject(h); }
};
struct MemoryDcDeleter {
  void operator()(HDC h) const noexcept { ::DeleteDC(h); }
};
struct IconDeleter {
  void operator()(HICON h) const noexcept { ::DestroyIcon(h); }
};
struct MenuDeleter {
  void operator()(HMENU h) const noexcept { ::DestroyMenu(h); }
};
struct WindowDeleter {
  void operator()(HWND h) const noexcept { ::DestroyWindow(h); }
};
struct RegKeyDeleter {
  void operator()(HKEY h) const noexcept { ::RegCloseKey(h); }
};

using UniqueKernelHandle = UniqueHandle<HANDLE, KernelHandleDeleter>;
using UniqueFileHandle = UniqueHandle<HANDLE, FileHandleDeleter>;
using UniqueFindHandle = UniqueHandle<HANDLE, FindHandleDeleter>;
using UniqueLibrary = UniqueHandle<HMODULE, LibraryDeleter>;
using UniqueBitmap = UniqueHandle<HBITMAP, GdiObjectDeleter<HBITMAP>>;
using UniqueBrush = UniqueHandle<HBRUSH, GdiObjectDeleter<HBRUSH>>;
using UniquePen = UniqueHandle<HPEN, GdiObjectDeleter<HPEN>>;
using UniqueFont = UniqueHandle<HFONT, GdiObjectDeleter<HFONT>>;
using UniqueRegion = UniqueHandle<HRGN, GdiObjectDeleter<HRGN>>;
using UniquePalette = UniqueHandle<HPALETTE, GdiObjectDeleter<HPALETTE>>;
using UniqueMemoryDc = UniqueHandle<HDC, MemoryDcDeleter>;
using UniqueIcon = UniqueHandle<HICON, IconDeleter>;
using UniqueMenu = UniqueHandle<HMENU, MenuDeleter>;
using UniqueWindowHandle = UniqueHandle<HWND, WindowDeleter>;
using UniqueRegKey = UniqueHandle<HKEY, RegKeyDeleter>;

// A device context obtained with GetDC (window or, with nullptr, the whole
// screen) and given back with ReleaseDC.
class WindowDc {
 public:
  explicit WindowDc(HWND window) noexcept : window_(window), dc_(::GetDC(window)) {}
  WindowDc(const WindowDc&) = delete;
  WindowDc& operator=(const WindowDc&) = delete;
  ~WindowDc() {
    if (dc_ != nullptr) ::ReleaseDC(window_, dc_);
  }
  HDC get() const noexcept { return dc_; }
  explicit operator bool() const noexcept { return dc_ != nullptr; }

 private:
  HWND window_;  // not owned
  HDC dc_;
};

// BeginPaint / EndPaint for one WM_PAINT.
class PaintDc {
 public:
  explicit PaintDc(HWND window) noexcept : window_(window) { dc_ = ::BeginPaint(window_, &paint_); }
  PaintDc(const PaintDc&) = delete;
  PaintDc& operator=(const PaintDc&) = delete;
  ~PaintDc() { ::EndPaint(window_, &paint_); }
  HDC get() const noexcept { return dc_; }
  const RECT& area() const noexcept { return paint_.rcPaint; }

 private:
  HWND window_;  // not owned
  PAINTSTRUCT paint_{};
  HDC dc_ = nullptr;
};

// Selects a GDI object into a device context and reselects the previous one
// when it goes out of scope. Declare it after the object it selects, so the
// object is deselected before it is deleted.
class SelectGuard {
 public:
  SelectGuard(HDC dc, HGDIOBJ object) noexcept : dc_(dc), previous_(::SelectObject(dc, object)) {}
  SelectGuard(const SelectGuard&) = delete;
  SelectGuard& operator=(const SelectGuard&) = delete;
  ~SelectGuard() {
    if (previous_ != nullptr && previous_ != HGDI_ERROR) ::SelectObject(dc_, previous_);
  }
  bool ok() const noexcept { return previous_ != nullptr && previous_ != HGDI_ERROR; }

 private:
  HDC dc_;  // not owned
  HGDIOBJ previous_;
};

}  // namespace velmora
