#include "platform/DpiWin32.h"

#include "platform/DpiScale.h"
#include "platform/FontsWin32.h"

namespace velmora {

namespace {

template <typename Function>
Function User32Entry(const char* name) {
  static HMODULE user32 = ::GetModuleHandleW(L"user32.dll");
  if (user32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(::GetProcAddress(user32, name)));
}

}  // namespace

int SystemDpi() {
  using GetDpiForSystemFn = UINT(WINAPI*)();
  static const auto getDpiForSystem = User32Entry<GetDpiForSystemFn>("GetDpiForSystem");
  if (getDpiForSystem != nullptr) {
    const UINT dpi = getDpiForSystem();
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return FontCache::ScreenDpi();
}

int DpiOfWindow(HWND window) {
  using GetDpiForWindowFn = UINT(WINAPI*)(HWND);
  static const auto getDpiForWindow = User32Entry<GetDpiForWindowFn>("GetDpiForWindow");
  if (window != nullptr && getDpiForWindow != nullptr) {
    const UINT dpi = getDpiForWindow(window);
    if (dpi > 0) return static_cast<int>(dpi);
  }
  return SystemDpi();
}

bool AdjustWindowRectForDpi(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi) {
  using AdjustFn = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  static const auto adjust = User32Entry<AdjustFn>("AdjustWindowRectExForDpi");
  if (adjust != nullptr && dpi > 0) return adjust(&rect, style, menu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi)) != FALSE;
  return ::AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle) != FALSE;
}

}  // namespace velmora
