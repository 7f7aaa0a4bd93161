// The component itself: construction, Reset in both modes, the setters,
// events, stopping and the pacing of the steps.
#include "fade/MorfFade.h"

#include <gtest/gtest.h>

#include <numeric>

#include "support/FakeFade.h"

namespace velmora {
namespace {

using testing::AllPixels;
using testing::FadeRig;
using testing::MakeGraphic;
using testing::SurfaceCall;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;
constexpr TColor kGreen = 0x00FF00;

TEST(MorfFadeTest, ConstructionValuesAndDefaultImages) {
  FadeRig rig;  // keeps the constructor's 75 x 75
  TMorfFade& f = rig.fade;
  EXPECT_EQ(f.Width(), 75);
  EXPECT_EQ(f.Height(), 75);
  EXPECT_EQ(f.ColorFrom(), kBlack);
  EXPECT_EQ(f.ColorTo(), kWhite);
  EXPECT_EQ(f.DisolvRate(), 125);
  EXPECT_EQ(f.BlendRate(), 32);
  EXPECT_EQ(f.GeneralRate(), 5);
  EXPECT_TRUE(f.StretchToFit());
  EXPECT_FALSE(f.ProcessMsgs());
  EXPECT_FALSE(f.AutoReverse());
  EXPECT_TRUE(f.SwapOnReverse());
  EXPECT_EQ(f.SwapDelay(), 1);
  EXPECT_EQ(f.Transition(), TTETransition::StretchFromLeft);
  EXPECT_EQ(f.Direction(), TDirection::FromLeft);
  EXPECT_EQ(f.Action(), TAction::Stretch);
  EXPECT_EQ(f.Steps(), 30);
  EXPECT_EQ(f.DotSize(), 40);
  EXPECT_FALSE(f.StopRequested);
  EXPECT_TRUE(f.PicFrom().Empty());
  EXPECT_TRUE(f.PicTo().Empty());
  EXPECT_EQ(f.StepInterval(), 0);  // unpaced unless the program turns pacing on

  f.Reset();
  EXPECT_EQ(f.FromImage().Width(), 75);
  EXPECT_EQ(f.ToImage().Height(), 75);
  EXPECT_TRUE(AllPixels(f.FromImage(), kBlack));
  EXPECT_TRUE(AllPixels(f.ToImage(), kWhite));
  EXPECT_EQ(f.WorkImage().Width(), 75);
}

TEST(MorfFadeTest, EnumerationsAreNumberedInTheirDeclaredOrder) {
  EXPECT_EQ(int(TDirection::XcenterOut), 8);
  EXPECT_EQ(int(TDirection::None), 16);
  EXPECT_EQ(int(TAction::Discover), 5);
  EXPECT_EQ(int(TAction::Any), 6);
  EXPECT_EQ(int(TTETransition::PushFromBottom), 8);
  EXPECT_EQ(int(TTETransition::Zoom), 18);
  EXPECT_EQ(sizeof(TDirection), 1u);
}

TEST(MorfFadeTest, SettingTheCurrentValueDoesNothing) {
  FadeRig rig;
  rig.fade.SetColorFrom(kBlack);
  rig.fade.SetColorTo(kWhite);
  rig.fade.SetStretchToFit(true);
  rig.fade.SetBounds(0, 0, 75, 75);
  EXPECT_TRUE(rig.events.empty());
  EXPECT_TRUE(rig.surface.calls.empty());

  rig.fade.SetColorFrom(kRed);
  EXPECT_EQ(rig.events, std::vector<std::string>{"Reset"});
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kRed));
  EXPECT_GE(rig.surface.Count(SurfaceCall::Invalidate), 1);
  rig.fade.SetColorTo(kBlue);
  EXPECT_TRUE(AllPixels(rig.fade.ToImage(), kBlue));
  EXPECT_EQ(rig.CountEvents("Reset"), 2);
}

TEST(MorfFadeTest, RatesAreKeptInRange) {
  FadeRig rig(100, 50);
  TMorfFade& f = rig.fade;
  f.SetDisolvRate(0);
  EXPECT_EQ(f.DisolvRate(), 1);
  f.SetDisolvRate(-7);
  EXPECT_EQ(f.DisolvRate(), 1);
  f.SetDisolvRate(5001);
  EXPECT_EQ(f.DisolvRate(), 5000);
  f.SetBlendRate(0);
  EXPECT_EQ(f.BlendRate(), 1);
  f.SetBlendRate(256);
  EXPECT_EQ(f.BlendRate(), 255);
  f.SetBlendRate(300);
  EXPECT_EQ(f.BlendRate(), 255);
  f.SetBlendRate(16);
  EXPECT_EQ(f.BlendRate(), 16);
  EXPECT_TRUE(rig.events.empty());  // no Reset from the rates

  f.SetBounds(0, 0, 0, 50);
  f.SetDisolvRate(125);
  EXPECT_EQ(f.DisolvRate(), 0);
}

TEST(MorfFadeTest, FailedChecksRaiseAfterResetAndBeforeBegin) {
  FadeRig rig(0, 50);
  rig.fade.SetDisolvRate(125);
  rig.events.clear();
  try {
    rig.fade.Dissolve();
    FAIL() << "no exception";
  } catch (const EMorfFade& e) {
    EXPECT_STREQ(e.what(), "DisolvRate cannot be > Width * Height!");
  }
  EXPECT_EQ(rig.events, std::vector<std::string>{"Reset"});

  FadeRig blend(20, 20);
  blend.fade.SetBlendRateUnchecked(0);
  try {
    blend.fade.Blend();
    FAIL() << "no exception";
  } catch (const EMorfFade& e) {
    EXPECT_STREQ(e.what(), "BlendRate must be between 0 and 256");
  }
  EXPECT_EQ(blend.events, std::vector<std::string>{"Reset"});
  EXPECT_TRUE(blend.surface.Draws().empty());
  EXPECT_EQ(blend.fade.BlendRate(), 0);  // settings stay as they were
}

TEST(MorfFadeTest, FitModeKeepsProportionsBetweenBlackBars) {
  FadeRig rig(400, 400);
  rig.fade.SetColorFrom(kRed);
  auto wide = MakeGraphic(GraphicKind::Raster, 200, 100, kGreen);
  rig.fade.SetPicFrom(wide);
  ASSERT_FALSE(wide->stretchRects.empty());
  EXPECT_EQ(wide->stretchRects.back(), (Rect{0, 100, 400, 300}));
  EXPECT_EQ(rig.fade.FromImage().PixelAt(0, 0), kBlack);  // black bar, not the fill colour
  EXPECT_EQ(rig.fade.FromImage().PixelAt(0, 100), kGreen);

  auto tall = MakeGraphic(GraphicKind::Metafile, 100, 200, kGreen);
  rig.fade.SetPicTo(tall);
  EXPECT_EQ(tall->stretchRects.back(), (Rect{100, 0, 300, 400}));
  EXPECT_EQ(rig.fade.ToImage().PixelAt(399, 399), kBlack);

  // Truncation of the scaled side: 3 x 7 into 10 x 10 -> 4 wide (10 / 2.333).
  FadeRig odd(10, 10);
  auto narrow = MakeGraphic(GraphicKind::Raster, 3, 7, kGreen);
  odd.fade.SetPicFrom(narrow);
  EXPECT_EQ(narrow->stretchRects.back(), (Rect{3, 0, 7, 10}));
}

TEST(MorfFadeTest, IconFillsTheWholeComponentOverItsFillColour) {
  FadeRig rig(40, 20);
  rig.fade.SetColorFrom(kBlue);
  auto icon = MakeGraphic(GraphicKind::Icon, 8, 8, kRed);  // marks only its top-left pixel
  rig.fade.SetPicFrom(icon);
  EXPECT_TRUE(icon->stretchRects.empty());
  ASSERT_EQ(icon->drawRects.size(), 1u);
  EXPECT_EQ(icon->drawRects[0], (Rect{0, 0, 8, 8}));  // natural size, on the temporary picture
  EXPECT_EQ(rig.fade.FromImage().PixelAt(0, 0), kRed);    // scaled: the mark grows to 5 x 2.5
  EXPECT_EQ(rig.fade.FromImage().PixelAt(39, 19), kBlue);  // no black bars
}

TEST(MorfFadeTest, PictureWithoutPixelsCountsAsEmpty) {
  FadeRig rig(30, 30);
  rig.fade.SetColorFrom(kRed);
  rig.fade.SetPicFrom(MakeGraphic(GraphicKind::Raster, 0, 40, kGreen));
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kRed));
  rig.fade.SetPicTo(MakeGraphic(GraphicKind::Metafile, 40, 0, kGreen));
  EXPECT_TRUE(AllPixels(rig.fade.ToImage(), kWhite));
}

TEST(MorfFadeTest, PictureChangesResetAndEmptyingFallsBackToTheColour) {
  FadeRig rig(10, 10);
  rig.fade.SetPicFrom(MakeGraphic(GraphicKind::Raster, 10, 10, kGreen));
  EXPECT_EQ(rig.CountEvents("Reset"), 1);
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kGreen));
  rig.fade.SetPicFrom(nullptr);
  EXPECT_EQ(rig.CountEvents("Reset"), 2);
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kBlack));
  TPicture other(MakeGraphic(GraphicKind::Raster, 5, 5, kRed));
  rig.fade.SetPicTo(other);
  EXPECT_EQ(rig.fade.PicTo().GetGraphic(), other.GetGraphic());  // shared, not re-loaded
  EXPECT_TRUE(AllPixels(rig.fade.ToImage(), kRed));
}

TEST(MorfFadeTest, NaturalSizeWithBothPicturesTakesTheFromSize) {
  FadeRig rig(200, 200);
  auto from = MakeGraphic(GraphicKind::Raster, 30, 20, kGreen);
  auto to = MakeGraphic(GraphicKind::Raster, 10, 40, kRed);
  rig.fade.SetPicFrom(from);
  rig.fade.SetPicTo(to);
  rig.events.clear();
  rig.surface.Clear();
  rig.fade.SetStretchToFit(false);
  EXPECT_EQ(rig.fade.Width(), 30);
  EXPECT_EQ(rig.fade.Height(), 20);
  // The size change ran Reset from within, then the outer Reset ended.
  EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Reset"}));
  ASSERT_EQ(rig.surface.CallsOf(SurfaceCall::Bounds).size(), 1u);
  EXPECT_EQ(rig.surface.CallsOf(SurfaceCall::Bounds)[0].rect, (Rect{0, 0, 30, 20}));
  EXPECT_EQ(to->stretchRects.back(), (Rect{0, 0, 30, 20}));  // proportions not kept
  EXPECT_EQ(from->drawRects.back(), (Rect{0, 0, 30, 20}));
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kGreen));
  EXPECT_TRUE(AllPixels(rig.fade.ToImage(), kRed));

  rig.events.clear();
  rig.fade.Reset();  // size unchanged now: one Reset
  EXPECT_EQ(rig.events, std::vector<std::string>{"Reset"});
}

TEST(MorfFadeTest, NaturalSizeWithOnePicture) {
  FadeRig rig(50, 50);
  rig.fade.SetStretchToFit(false);
  rig.fade.SetColorFrom(kBlue);
  rig.fade.SetColorTo(kRed);
  auto meta = MakeGraphic(GraphicKind::Metafile, 12, 6, kGreen);
  rig.fade.SetPicTo(meta);
  EXPECT_EQ(rig.fade.Width(), 12);
  EXPECT_EQ(rig.fade.Height(), 6);
  EXPECT_EQ(rig.fade.ToImage().PixelAt(0, 0), kGreen);  // the metafile's mark
  EXPECT_EQ(rig.fade.ToImage().PixelAt(11, 5), kRed);   // over ColorTo
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kBlue));
  EXPECT_EQ(rig.fade.FromImage().Width(), 12);

  rig.fade.SetPicTo(nullptr);  // neither: both keep the current size
  EXPECT_EQ(rig.fade.Width(), 12);
  EXPECT_TRUE(AllPixels(rig.fade.ToImage(), kRed));

  rig.fade.SetPicFrom(MakeGraphic(GraphicKind::Raster, 7, 9, kGreen));
  EXPECT_EQ(rig.fade.Width(), 7);
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kGreen));
  EXPECT_TRUE(AllPixels(rig.fade.ToImage(), kRed));
}

TEST(MorfFadeTest, PushSizesTheWorkImageForItsComposite) {
  FadeRig rig(30, 20);
  rig.fade.SetAction(TAction::Push);
  rig.fade.Reset();
  EXPECT_EQ(rig.fade.WorkImage().Width(), 60);
  EXPECT_EQ(rig.fade.WorkImage().Height(), 20);
  rig.fade.SetDirection(TDirection::FromTop);
  rig.fade.Reset();
  EXPECT_EQ(rig.fade.WorkImage().Width(), 30);
  EXPECT_EQ(rig.fade.WorkImage().Height(), 40);
}

TEST(MorfFadeTest, BoundsVisibilityPaintAndMouseEvents) {
  FadeRig rig(10, 10);
  rig.fade.SetBounds(5, 6, 20, 30);
  EXPECT_EQ(rig.fade.Left(), 5);
  EXPECT_EQ(rig.fade.Top(), 6);
  EXPECT_EQ(rig.surface.calls.front().kind, SurfaceCall::Bounds);
  EXPECT_EQ(rig.surface.calls.front().rect, (Rect{5, 6, 25, 36}));
  EXPECT_EQ(rig.CountEvents("Reset"), 1);
  EXPECT_EQ(rig.fade.FromImage().Width(), 20);
  rig.fade.SetLeft(0);
  EXPECT_EQ(rig.CountEvents("Reset"), 2);  // a move alone also resets

  rig.fade.SetVisible(false);
  EXPECT_EQ(rig.surface.CallsOf(SurfaceCall::Visibility).back().visible, false);
  rig.fade.Paint();
  EXPECT_EQ(rig.surface.Draws().back().source, &rig.fade.FromImage());

  TMorfFade* sender = nullptr;
  int leaves = 0;
  rig.fade.OnMouseEnter = [&](TMorfFade& s) { sender = &s; };
  rig.fade.OnMouseLeave = [&](TMorfFade&) { ++leaves; };
  rig.fade.MouseEnter();
  rig.fade.MouseLeave();
  EXPECT_EQ(sender, &rig.fade);
  EXPECT_EQ(leaves, 1);
}

TEST(MorfFadeTest, StopRequestedWhileIdleStopsTheNextRunAfterItsFirstStep) {
  FadeRig rig(20, 10);
  rig.fade.SetAction(TAction::Discover);
  rig.fade.SetDirection(TDirection::FromLeft);
  rig.fade.SetDisolvRate(10);
  rig.fade.StopRequested = true;
  rig.fade.Dissolve();
  EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Begin", "End"}));
  EXPECT_FALSE(rig.fade.StopRequested);
  const auto draws = rig.surface.Draws();
  ASSERT_EQ(draws.size(), 2u);  // step 1, then the to-image at once
  EXPECT_EQ(draws[1].kind, SurfaceCall::Copy);
  EXPECT_EQ(draws[1].source, &rig.fade.ToImage());
  EXPECT_EQ(draws[1].rect, (Rect{0, 0, 20, 10}));
  EXPECT_TRUE(AllPixels(rig.surface.screen, kWhite));
  // The from-image stays partly converted: the first 20 pixels (column 0 and 1).
  EXPECT_EQ(testing::CountPixels(rig.fade.FromImage(), kWhite), 20);
}

TEST(MorfFadeTest, StopDuringTheWayBackEndsTwiceAndTheNextResetRestores) {
  FadeRig rig(8, 8);
  TMorfFade& f = rig.fade;
  f.SetColorFrom(kRed);
  f.SetColorTo(kBlue);
  f.SetAction(TAction::xBlend);
  f.SetBlendRate(4);
  f.SetAutoReverse(true);
  f.SetSwapOnReverse(false);
  f.SetProcessMsgs(true);
  rig.host.onProcessMessages = [&] {
    if (f.SwapPending()) f.StopRequested = true;
  };
  rig.events.clear();
  f.Blend();
  ASSERT_GE(rig.events.size(), 4u);
  EXPECT_EQ(rig.events[0], "Reset");
  EXPECT_EQ(rig.events[1], "Begin");
  EXPECT_EQ(rig.events[rig.events.size() - 2], "End");
  EXPECT_EQ(rig.events.back(), "End");
  EXPECT_EQ(rig.CountEvents("Begin"), 1);
  EXPECT_TRUE(f.SwapPending());
  EXPECT_EQ(f.ColorFrom(), kBlue);  // still exchanged
  rig.host.onProcessMessages = nullptr;
  f.Reset();
  EXPECT_FALSE(f.SwapPending());
  EXPECT_EQ(f.ColorFrom(), kRed);
  EXPECT_EQ(f.ColorTo(), kBlue);
  EXPECT_TRUE(AllPixels(f.FromImage(), kRed));
}

// ---- pacing

struct PacedRun {
  FadeRig rig{10, 10};
  explicit PacedRun(std::int64_t interval) {
    rig.fade.SetStepInterval(interval);
    rig.fade.SetAction(TAction::Stretch);
    rig.fade.SetSteps(5);
  }
};

TEST(MorfFadePacingTest, AFastStepWaitsOutItsSixtiethOfASecond) {
  PacedRun run(TMorfFade::kPacedStepMicros);
  run.rig.fade.SetProcessMsgs(true);
  run.rig.fade.Sweep();
  // Each of the 5 steps waited about 17 ms, in 1 ms slices, handling messages.
  const int slept = std::accumulate(run.rig.host.sleeps.begin(), run.rig.host.sleeps.end(), 0);
  EXPECT_EQ(slept, 5 * 17);
  for (int ms : run.rig.host.sleeps) EXPECT_EQ(ms, 1);
  EXPECT_GE(run.rig.host.processCalls, 5 * 17);
  EXPECT_EQ(run.rig.surface.Draws().size(), 5u);
}

TEST(MorfFadePacingTest, WithoutMessagesTheRestIsSleptAtOnce) {
  PacedRun run(TMorfFade::kPacedStepMicros);
  run.rig.host.advancePerRead = 0;
  run.rig.fade.Sweep();
  EXPECT_EQ(run.rig.host.processCalls, 0);
  ASSERT_FALSE(run.rig.host.sleeps.empty());
  EXPECT_EQ(run.rig.host.sleeps[0], 16);  // 16667 us left: 16 ms, then 1 ms
  const int slept = std::accumulate(run.rig.host.sleeps.begin(), run.rig.host.sleeps.end(), 0);
  EXPECT_EQ(slept, 5 * 17);
}

TEST(MorfFadePacingTest, ASlowStepIsFollowedAtOnce) {
  PacedRun run(TMorfFade::kPacedStepMicros);
  run.rig.surface.onDraw = [&](const SurfaceCall&) { run.rig.host.now += 20000; };
  run.rig.fade.Sweep();
  EXPECT_TRUE(run.rig.host.sleeps.empty());
  EXPECT_EQ(run.rig.host.vblankCalls, 0);
}

TEST(MorfFadePacingTest, VerticalBlankReplacesTheClockWait) {
  PacedRun run(TMorfFade::kPacedStepMicros);
  run.rig.host.hasVerticalBlank = true;
  run.rig.fade.Sweep();
  EXPECT_EQ(run.rig.host.vblankCalls, 5);
  EXPECT_TRUE(run.rig.host.sleeps.empty());
}

TEST(MorfFadePacingTest, UnpacedRunsDrawTheSameStepsWithoutWaiting) {
  PacedRun paced(TMorfFade::kPacedStepMicros), unpaced(0);
  paced.rig.fade.Sweep();
  unpaced.rig.fade.Sweep();
  EXPECT_TRUE(unpaced.rig.host.sleeps.empty());
  const auto a = paced.rig.surface.Draws(), b = unpaced.rig.surface.Draws();
  ASSERT_EQ(a.size(), b.size());
  for (std::size_t i = 0; i < a.size(); ++i) EXPECT_EQ(a[i].rect, b[i].rect);
}

TEST(MorfFadePacingTest, ProcessWideDefaultAppliesToNewComponents) {
  TMorfFade::SetDefaultStepInterval(TMorfFade::kPacedStepMicros);
  FadeRig rig;
  TMorfFade::SetDefaultStepInterval(0);
  EXPECT_EQ(rig.fade.StepInterval(), TMorfFade::kPacedStepMicros);
  rig.fade.SetPacing(false);
  EXPECT_EQ(rig.fade.StepInterval(), 0);
}

TEST(MorfFadePacingTest, AStopDuringTheWaitEndsTheWaitAndTheRun) {
  PacedRun run(TMorfFade::kPacedStepMicros);
  run.rig.fade.SetProcessMsgs(true);
  run.rig.host.onProcessMessages = [&] { run.rig.fade.StopRequested = true; };
  run.rig.fade.Sweep();
  EXPECT_TRUE(run.rig.host.sleeps.empty());
  EXPECT_EQ(run.rig.events.back(), "End");
  EXPECT_EQ(run.rig.surface.Draws().size(), 2u);  // step 1 and the to-image
}

}  // namespace
}  // namespace velmora
