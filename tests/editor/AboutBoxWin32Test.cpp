// The about box: name, version and icon, closed by its OK button.
#include <windows.h>

#include <gtest/gtest.h>

#include "editor/AboutBoxWin32.h"
#include "platform/ApplicationWin32.h"

namespace velmora {
namespace {

struct AboutWatch {
  int ticks = 0;
  bool name = false;
  bool version = false;
  bool iconDrawn = false;
  bool okClicked = false;
};
AboutWatch* watch = nullptr;

// Called every 100 ms while the box is up: reads it once its controls are
// all there, then clicks OK.
void CALLBACK WatchAbout(HWND, UINT, UINT_PTR, DWORD) {
  if (++watch->ticks > 100) {
    ::PostQuitMessage(0);  // give up; the test fails
    return;
  }
  HWND box = ::FindWindowW(nullptr, L"關於");
  if (box == nullptr || !::IsWindowVisible(box) || watch->okClicked) return;
  HWND ok = ::FindWindowExW(box, nullptr, nullptr, L"OK");
  if (ok == nullptr) return;
  watch->name = ::FindWindowExW(box, nullptr, nullptr, L"Velmora 99") != nullptr;
  watch->version = ::FindWindowExW(box, nullptr, nullptr, L"Version 2.3") != nullptr;
  // The icon's place is not the dialog's plain colour.
  POINT corner{16, 16};
  ::ClientToScreen(box, &corner);
  HDC screen = ::GetDC(nullptr);
  const COLORREF face = ::GetSysColor(COLOR_BTNFACE);
  for (int y = 0; y < 32 && !watch->iconDrawn; ++y)
    for (int x = 0; x < 32 && !watch->iconDrawn; ++x)
      watch->iconDrawn = ::GetPixel(screen, corner.x + x, corner.y + y) != face;
  ::ReleaseDC(nullptr, screen);
  if (!watch->iconDrawn && watch->ticks < 50) return;  // not painted yet: look again
  ::PostMessageW(ok, BM_CLICK, 0, 0);
  watch->okClicked = true;
}

TEST(AboutBoxTest, ShowsNameVersionAndIconAndClosesOnOk) {
  Application& application = Application::Instance();
  application.Initialize(::GetModuleHandleW(nullptr), L"Velmora test");
  application.Reset();

  AboutWatch seen;
  watch = &seen;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, WatchAbout);
  ShowAboutBox(nullptr);
  ::KillTimer(nullptr, timer);
  watch = nullptr;

  EXPECT_TRUE(seen.okClicked) << "the box never showed its OK button";
  EXPECT_LT(seen.ticks, 100) << "OK did not close the box";
  EXPECT_TRUE(seen.name);
  EXPECT_TRUE(seen.version);
  EXPECT_TRUE(seen.iconDrawn);
  EXPECT_EQ(::FindWindowW(nullptr, L"關於"), nullptr);
  application.Reset();
}

}  // namespace
}  // namespace velmora
