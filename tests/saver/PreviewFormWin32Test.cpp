// The editor's 'Current Effect' preview: TForm2 shown modally in this
// process over the editor's own FrameList.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "frames/EffectCatalogue.h"
#include "frames/FrameList.h"
#include "platform/ApplicationWin32.h"
#include "saver/PreviewFormWin32.h"

namespace velmora {
namespace {

struct PreviewWatch {
  int ticks = 0;
  bool covered = false;    // the window covers the screen
  bool sawRed = false;     // frame 1 (the current frame)
  bool sawBlue = false;    // frame 2, after the transition
  bool enterUpSent = false;
  bool openAfterEnterUp = false;
  bool keySent = false;
};
PreviewWatch* watch = nullptr;

COLORREF ScreenPixel(int x, int y) {
  HDC screen = ::GetDC(nullptr);
  const COLORREF colour = ::GetPixel(screen, x, y);
  ::ReleaseDC(nullptr, screen);
  return colour;
}

// Called every 100 ms while the modal preview runs: looks at the screen and
// sends keys as the user would.
void CALLBACK WatchPreview(HWND, UINT, UINT_PTR, DWORD) {
  ++watch->ticks;
  if (watch->ticks > 300) {
    ::PostQuitMessage(0);  // give up; the test fails
    return;
  }
  HWND form = ::FindWindowW(TForm2::kClassName, nullptr);
  if (form == nullptr || !::IsWindowVisible(form)) return;
  RECT r{};
  ::GetWindowRect(form, &r);
  watch->covered = r.left == 0 && r.top == 0 && r.right == ::GetSystemMetrics(SM_CXSCREEN) &&
                   r.bottom == ::GetSystemMetrics(SM_CYSCREEN);
  // A point left of the hint's place, so the hint never covers it.
  const COLORREF pixel = ScreenPixel(20, ::GetSystemMetrics(SM_CYSCREEN) / 2);
  if (pixel == RGB(255, 0, 0)) watch->sawRed = true;
  if (pixel == RGB(0, 0, 255) && watch->sawRed) watch->sawBlue = true;
  if (!watch->enterUpSent) {
    // The release of the Enter that chose the menu item, pressed before the
    // preview opened: it must not close it.
    ::PostMessageW(form, WM_KEYUP, VK_RETURN, 0xC01C0001);
    watch->enterUpSent = true;
    return;
  }
  if (watch->sawBlue && !watch->keySent) {
    watch->openAfterEnterUp = true;
    ::PostMessageW(form, WM_KEYDOWN, 'A', 0x001E0001);
    ::PostMessageW(form, WM_KEYUP, 'A', 0xC01E0001);
    watch->keySent = true;
  }
}

TEST(PreviewFormTest, ShowsTheFramePlaysAndEndsOnAKeyPressedWhileOpen) {
  Application& application = Application::Instance();
  application.Initialize(::GetModuleHandleW(nullptr), L"Velmora test");
  application.Reset();
  TheFrameList = std::make_unique<FrameList>();
  AppendFrameRecord(*TheFrameList).SetPath("Editor show");
  for (std::uint32_t colour : {0x0000FFu, 0xFF0000u}) {
    FrameRecord& r = AppendFrameRecord(*TheFrameList);
    r.SetPath("Z:\\no such picture.bmp");  // the colour flag comes first
    r.PureColour = 1;
    r.Colour = colour;
    r.Effect = EffectStretch;
    r.Direction = DirectionFromRight;  // the left edge, where the test looks, changes last
    r.Speed = 0;
    r.StillTime = 2;
  }
  AppendFrameRecord(*TheFrameList);

  PreviewWatch seen;
  watch = &seen;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, WatchPreview);
  ShowCurrentEffectPreview(1, 2);
  ::KillTimer(nullptr, timer);
  watch = nullptr;

  EXPECT_TRUE(seen.covered) << "the preview does not cover the screen";
  EXPECT_TRUE(seen.sawRed) << "the current frame never showed";
  EXPECT_TRUE(seen.sawBlue) << "the transition never reached the next frame";
  EXPECT_TRUE(seen.openAfterEnterUp) << "closed by the release of a key pressed before it opened";
  EXPECT_TRUE(seen.keySent);
  EXPECT_LT(seen.ticks, 300) << "the key release did not close the preview";
  EXPECT_EQ(::FindWindowW(TForm2::kClassName, nullptr), nullptr);
  // The list is read in place and left alone.
  ASSERT_NE(TheFrameList, nullptr);
  EXPECT_EQ(TheFrameList->Count(), 4u);
  EXPECT_EQ((*TheFrameList)[1].Colour, 0x0000FFu);

  TheFrameList.reset();
  application.Reset();
}

}  // namespace
}  // namespace velmora
