#include "fade/MorfFadeWin32.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <memory>

#include "platform/ApplicationWin32.h"
#include "platform/WindowWin32.h"

namespace velmora {
namespace {

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kBackground = 0x00FF00;  // green: the parent's own colour

// A borderless top-level window at the screen's top-left corner that paints
// its fade controls over a green background.
class HostWindow final : public Window {
 public:
  HostWindow() {
    WindowCreateParams params;
    params.style = WS_POPUP | WS_VISIBLE;
    params.exStyle = WS_EX_TOPMOST | WS_EX_TOOLWINDOW;
    params.x = 0;
    params.y = 0;
    params.width = 240;
    params.height = 160;
    WindowClass windowClass;
    windowClass.name = L"VelmoraFadeTestHost";
    Create(windowClass, params);
  }
  int mouseMoves = 0;

 protected:
  bool OnEraseBackground(HDC) override { return true; }
  bool OnPaint(HDC dc, const RECT& area) override {
    PaintFadeControls(Handle(), dc, area, kBackground);
    return true;
  }
  bool OnMouseMove(int x, int y, WPARAM) override {
    ++mouseMoves;
    FadeControlsMouseMove(Handle(), x, y);
    return true;
  }
};

// The window's pixel as the screen shows it (TColor form).
TColor PixelOf(HWND window, int x, int y) {
  HDC dc = ::GetDC(window);
  const COLORREF c = ::GetPixel(dc, x, y);
  ::ReleaseDC(window, dc);
  return TColor(c);
}

// A FadeHost over the real one that lets a test look at the screen after
// every step of a run.
class WatchingHost final : public FadeHost {
 public:
  void ProcessMessages() override {
    Win32FadeHost::Instance().ProcessMessages();
    ++steps;
    if (afterStep) afterStep(steps);
  }
  void Sleep(int ms) override { Win32FadeHost::Instance().Sleep(ms); }
  std::int64_t NowMicros() override { return Win32FadeHost::Instance().NowMicros(); }
  bool WaitForVerticalBlank() override { return Win32FadeHost::Instance().WaitForVerticalBlank(); }

  int steps = 0;
  std::function<void(int)> afterStep;
};

class MorfFadeWin32Test : public ::testing::Test {
 protected:
  void SetUp() override {
    Application::Instance().Initialize(::GetModuleHandleW(nullptr), L"Velmora test");
    host_ = std::make_unique<HostWindow>();
    ASSERT_NE(host_->Handle(), nullptr);
    ::UpdateWindow(host_->Handle());
    Application::Instance().ProcessMessages();
  }
  void TearDown() override { host_.reset(); }

  HWND Parent() const { return host_->Handle(); }
  void Repaint() {
    ::InvalidateRect(Parent(), nullptr, FALSE);
    ::UpdateWindow(Parent());
  }

  std::unique_ptr<HostWindow> host_;
};

TEST_F(MorfFadeWin32Test, PaintsItsImageInsideItsBoundsOverTheParentsBackground) {
  MorfFadeControl control(Parent());
  control.Fade().SetBounds(20, 10, 100, 80);
  control.Fade().SetColorFrom(kRed);
  Repaint();
  EXPECT_EQ(PixelOf(Parent(), 20, 10), kRed);
  EXPECT_EQ(PixelOf(Parent(), 119, 89), kRed);
  EXPECT_EQ(PixelOf(Parent(), 19, 10), kBackground);
  EXPECT_EQ(PixelOf(Parent(), 120, 50), kBackground);
  EXPECT_EQ(PixelOf(Parent(), 50, 90), kBackground);

  // Hidden, the parent shows what lies beneath.
  control.Fade().SetVisible(false);
  ::UpdateWindow(Parent());
  EXPECT_EQ(PixelOf(Parent(), 50, 50), kBackground);
}

TEST_F(MorfFadeWin32Test, SweepDrawsEachStepOnTheScreenAndEndsOnTheToImage) {
  WatchingHost watching;
  MorfFadeControl control(Parent(), Win32FadeImages(), watching);
  TMorfFade& fade = control.Fade();
  fade.SetBounds(40, 20, 120, 100);
  fade.SetColorFrom(kRed);
  fade.SetColorTo(kBlue);
  fade.SetProcessMsgs(true);
  fade.SetStepInterval(0);  // one pump per step: the watcher counts steps
  fade.SetAction(TAction::Stretch);
  fade.SetDirection(TDirection::FromLeft);
  fade.SetSteps(10);
  Repaint();
  TColor leftMid = 0, rightMid = 0;
  watching.afterStep = [&](int step) {
    if (step != 5) return;
    leftMid = PixelOf(Parent(), 40 + 5, 70);
    rightMid = PixelOf(Parent(), 40 + 115, 70);
  };
  fade.Sweep();
  // Halfway the to-image has stretched over the left part only.
  EXPECT_EQ(leftMid, kBlue);
  EXPECT_EQ(rightMid, kRed);
  EXPECT_EQ(PixelOf(Parent(), 40, 20), kBlue);
  EXPECT_EQ(PixelOf(Parent(), 159, 119), kBlue);
  EXPECT_EQ(PixelOf(Parent(), 39, 20), kBackground);
  EXPECT_EQ(PixelOf(Parent(), 160, 119), kBackground);
  Repaint();
  EXPECT_EQ(PixelOf(Parent(), 100, 70), kBlue);
}

TEST_F(MorfFadeWin32Test, BlendIsReadBackHalfwayAndAtTheEnd) {
  WatchingHost watching;
  MorfFadeControl control(Parent(), Win32FadeImages(), watching);
  TMorfFade& fade = control.Fade();
  fade.SetBounds(0, 0, 64, 64);
  fade.SetColorFrom(0x000000);
  fade.SetColorTo(0xFFFFFF);
  fade.SetProcessMsgs(true);
  fade.SetStepInterval(0);
  fade.SetAction(TAction::xBlend);
  fade.SetBlendRate(16);
  Repaint();
  TColor halfway = 0;
  watching.afterStep = [&](int step) {
    if (step == 8) halfway = PixelOf(Parent(), 32, 32);
  };
  fade.Blend();
  const int grey = int(halfway & 0xFF);
  EXPECT_GT(grey, 40);
  EXPECT_LT(grey, 215);
  EXPECT_EQ(halfway & 0xFF, (halfway >> 8) & 0xFF);
  EXPECT_EQ(PixelOf(Parent(), 32, 32), 0xFFFFFFu);
  EXPECT_EQ(PixelOf(Parent(), 64, 32), kBackground);
}

TEST_F(MorfFadeWin32Test, FrontControlCoversTheOneSentToBack) {
  auto back = std::make_unique<MorfFadeControl>(Parent());
  auto front = std::make_unique<MorfFadeControl>(Parent());
  back->Fade().SetBounds(0, 0, 100, 100);
  back->Fade().SetColorFrom(kBlue);
  front->Fade().SetBounds(0, 0, 100, 100);
  front->Fade().SetColorFrom(kRed);
  back->SendToBack();
  Repaint();
  EXPECT_EQ(PixelOf(Parent(), 50, 50), kRed);
  EXPECT_EQ(MorfFadeControl::ControlAt(Parent(), 50, 50), front.get());
  // The swap of the player: the front one is hidden and freed.
  front->Fade().SetVisible(false);
  ::UpdateWindow(Parent());
  EXPECT_EQ(PixelOf(Parent(), 50, 50), kBlue);
  front.reset();
  Repaint();
  EXPECT_EQ(PixelOf(Parent(), 50, 50), kBlue);
}

TEST_F(MorfFadeWin32Test, MouseEnterAndLeaveFollowThePointer) {
  MorfFadeControl control(Parent());
  control.Fade().SetBounds(100, 50, 50, 50);
  int enters = 0, leaves = 0;
  control.Fade().OnMouseEnter = [&](TMorfFade&) { ++enters; };
  control.Fade().OnMouseLeave = [&](TMorfFade&) { ++leaves; };
  FadeControlsMouseMove(Parent(), 10, 10);
  FadeControlsMouseMove(Parent(), 120, 60);
  FadeControlsMouseMove(Parent(), 121, 61);
  EXPECT_EQ(enters, 1);
  FadeControlsMouseMove(Parent(), 10, 60);
  EXPECT_EQ(leaves, 1);
  FadeControlsMouseMove(Parent(), 120, 60);
  FadeControlsMouseLeave(Parent());
  EXPECT_EQ(enters, 2);
  EXPECT_EQ(leaves, 2);
}

// Not a pass/fail check: prints what a full-screen Stretch step costs with
// each stretch mode here (the speed target itself is a benchmark's job).
TEST_F(MorfFadeWin32Test, ReportsStretchModeCost) {
  MorfFadeControl control(Parent());
  TMorfFade& fade = control.Fade();
  fade.SetBounds(0, 0, 240, 160);
  fade.SetColorFrom(kRed);
  fade.SetColorTo(kBlue);
  fade.SetAction(TAction::Stretch);
  fade.SetDirection(TDirection::ZoomOut);
  fade.SetSteps(60);
  fade.SetStepInterval(0);  // the drawing's own pace, not the display's
  for (int mode : {COLORONCOLOR, HALFTONE}) {
    control.SetStretchMode(mode);
    const auto start = Win32FadeHost::Instance().NowMicros();
    fade.Sweep();
    const auto micros = Win32FadeHost::Instance().NowMicros() - start;
    std::printf("stretch mode %s: %.1f us per step (240 x 160)\n",
                mode == HALFTONE ? "HALFTONE" : "COLORONCOLOR", double(micros) / 60.0);
  }
  SUCCEED();
}

}  // namespace
}  // namespace velmora
