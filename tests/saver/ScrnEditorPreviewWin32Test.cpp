// The editor's whole-show preview: the saver window shown modally in this
// process over the editor's own FrameList.
#include <windows.h>

#include <gtest/gtest.h>

#include <memory>

#include "app/Startup.h"
#include "frames/FrameList.h"
#include "platform/ApplicationWin32.h"
#include "saver/Player.h"
#include "saver/ScrnWin32.h"

namespace velmora {
namespace {

struct PreviewWatch {
  int ticks = 0;
  bool sawRed = false;
  bool topMost = false;
  bool activeFlag = false;
  bool keySent = false;
};
PreviewWatch* watch = nullptr;

// Called every 100 ms while the modal preview runs: looks at the screen and,
// once frame 1 shows, presses a key on the saver window.
void CALLBACK WatchPreview(HWND, UINT, UINT_PTR, DWORD) {
  ++watch->ticks;
  HWND scrn = ::FindWindowW(L"VelmoraScrn", nullptr);
  if (scrn == nullptr || !::IsWindowVisible(scrn)) {
    if (watch->ticks > 100) ::PostQuitMessage(0);  // give up; the test fails
    return;
  }
  watch->activeFlag = EditorPreviewActive;
  watch->topMost = (::GetWindowLongW(scrn, GWL_EXSTYLE) & WS_EX_TOPMOST) != 0;
  HDC screen = ::GetDC(nullptr);
  const COLORREF centre =
      ::GetPixel(screen, ::GetSystemMetrics(SM_CXSCREEN) / 2, ::GetSystemMetrics(SM_CYSCREEN) / 2);
  ::ReleaseDC(nullptr, screen);
  if (centre == RGB(255, 0, 0)) watch->sawRed = true;
  if ((watch->sawRed || watch->ticks > 50) && !watch->keySent) {
    ::PostMessageW(scrn, WM_KEYDOWN, VK_SPACE, 0);
    watch->keySent = true;
  }
}

TEST(ScrnEditorPreviewTest, PlaysTheEditorsListModallyAndEndsOnAKeyWithoutPassword) {
  Application& application = Application::Instance();
  application.Initialize(::GetModuleHandleW(nullptr), L"Velmora test");
  application.Reset();
  const SaverMode savedMode = Mode;
  Mode = SaverMode::Configure;
  IsEditorExe = true;
  TheFrameList = std::make_unique<FrameList>();
  AppendFrameRecord(*TheFrameList).SetPath("Editor show");
  for (std::uint32_t colour : {0x0000FFu, 0xFF0000u}) {
    FrameRecord& r = AppendFrameRecord(*TheFrameList);
    r.PureColour = 1;
    r.Colour = colour;
    r.Effect = 5;
    r.Direction = 16;
    r.Speed = 0;
    r.StillTime = 30;
  }
  AppendFrameRecord(*TheFrameList);

  PreviewWatch seen;
  watch = &seen;
  const UINT_PTR timer = ::SetTimer(nullptr, 0, 100, WatchPreview);
  ShowWholeShowPreview(nullptr);
  ::KillTimer(nullptr, timer);
  watch = nullptr;

  EXPECT_TRUE(seen.sawRed) << "frame 1 never showed";
  EXPECT_TRUE(seen.keySent);
  EXPECT_TRUE(seen.activeFlag);
  EXPECT_FALSE(seen.topMost) << "the editor's preview is not top-most";
  EXPECT_FALSE(EditorPreviewActive);
  EXPECT_EQ(::FindWindowW(L"VelmoraScrn", nullptr), nullptr);
  // The editor's list is played in place and left alone.
  ASSERT_NE(TheFrameList, nullptr);
  EXPECT_EQ(TheFrameList->Count(), 4u);
  EXPECT_EQ(FrameCount, 2);

  TheFrameList.reset();
  Mode = savedMode;
  IsEditorExe = false;
  application.Reset();
}

}  // namespace
}  // namespace velmora
