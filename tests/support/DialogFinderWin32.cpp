#include "support/DialogFinderWin32.h"

#include <utility>

#include "support/ProcessLauncherWin32.h"

namespace velmora::test {

std::vector<HWND> ThreadWindows() {
  std::vector<HWND> windows;
  ::EnumThreadWindows(
      ::GetCurrentThreadId(),
      [](HWND window, LPARAM data) -> BOOL {
        if (::IsWindowVisible(window)) reinterpret_cast<std::vector<HWND>*>(data)->push_back(window);
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND FindTitled(const std::vector<HWND>& windows, const std::wstring& title) {
  for (HWND window : windows)
    if (TextOf(window) == title) return window;
  return nullptr;
}

HWND FindMessageBox(const std::vector<HWND>& windows, std::wstring* text) {
  for (HWND window : windows) {
    if (ClassNameOf(window) != L"#32770") continue;
    if (HWND label = ::GetDlgItem(window, 0xFFFF)) {
      if (text != nullptr) *text = TextOf(label);
      return window;
    }
  }
  return nullptr;
}

HWND ChildWithText(HWND parent, const std::wstring& text) {
  std::pair<const std::wstring*, HWND> data{&text, nullptr};
  ::EnumChildWindows(
      parent,
      [](HWND child, LPARAM p) -> BOOL {
        auto* d = reinterpret_cast<std::pair<const std::wstring*, HWND>*>(p);
        if (!::IsWindowVisible(child) || TextOf(child) != *d->first) return TRUE;
        d->second = child;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&data));
  return data.second;
}

}  // namespace velmora::test
