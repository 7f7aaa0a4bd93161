// Sweep: the rectangles of Stretch, the sources of Push and the blocks of
// Slide, step by step, and how the run begins and ends.
#include <gtest/gtest.h>

#include <optional>

#include "fade/MorfFade.h"
#include "fade/Sweep.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

using testing::AllPixels;
using testing::FadeRig;
using testing::MakeGraphic;
using testing::SamePixels;
using testing::SurfaceCall;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kGreen = 0x00FF00;

std::vector<SurfaceCall> RunSweep(FadeRig& rig, TAction action, TDirection dir, int steps) {
  rig.fade.SetAction(action);
  rig.fade.SetDirection(dir);
  rig.fade.SetSteps(steps);
  rig.surface.Clear();
  rig.events.clear();
  rig.fade.Sweep();
  return rig.surface.Draws();
}

TEST(MorfFadeSweepTest, StretchFromLeftOnAHundredPixelsStopsOneShort) {
  FadeRig rig(100, 10);
  const auto draws = RunSweep(rig, TAction::Stretch, TDirection::FromLeft, 30);
  ASSERT_EQ(draws.size(), 30u);
  EXPECT_EQ(draws[0].rect, (Rect{0, 0, 3, 10}));
  EXPECT_EQ(draws[29].rect, (Rect{0, 0, 99, 10}));  // 30 * 3.3333332538604736 = 99.99999
  for (const SurfaceCall& c : draws) {
    EXPECT_EQ(c.kind, SurfaceCall::Stretch);
    EXPECT_EQ(c.source, &rig.fade.ToImage());
  }
  EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Begin", "End"}));
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), 0xFFFFFF));  // the To picture after the run
}

TEST(MorfFadeSweepTest, LastStepIsExactForSixHundredFortyAndSeventyFive) {
  for (int w : {640, 75}) {
    FadeRig rig(w, 4);
    const auto draws = RunSweep(rig, TAction::Stretch, TDirection::FromLeft, 30);
    EXPECT_EQ(draws.back().rect.right, w);
  }
}

TEST(MorfFadeSweepTest, EightHundredWideFromRightReachesZeroFromLeftStopsAt799) {
  FadeRig rig(800, 4);
  EXPECT_EQ(RunSweep(rig, TAction::Stretch, TDirection::FromRight, 30).back().rect, (Rect{0, 0, 800, 4}));
  EXPECT_EQ(RunSweep(rig, TAction::Stretch, TDirection::FromLeft, 30).back().rect, (Rect{0, 0, 799, 4}));
}

TEST(MorfFadeSweepTest, ZoomOutGrowsFromTheCentre) {
  FadeRig rig(100, 100);
  const auto draws = RunSweep(rig, TAction::Stretch, TDirection::ZoomOut, 2);
  ASSERT_EQ(draws.size(), 2u);
  EXPECT_EQ(draws[0].rect, (Rect{25, 25, 75, 75}));
  EXPECT_EQ(draws[1].rect, (Rect{0, 0, 100, 100}));
}

// What the surface records for one step's copy (SweepTest works the copies
// out by hand; here the component must carry out exactly those).
std::optional<SurfaceCall> CallFor(const SweepCopy& copy, const TMorfFade& fade) {
  switch (copy.source) {
    case SweepSource::Nothing: return std::nullopt;
    case SweepSource::ToImageScaled: return SurfaceCall{SurfaceCall::Stretch, copy.dst, 0, 0, &fade.ToImage()};
    case SweepSource::ToImage:
      return SurfaceCall{SurfaceCall::Copy, copy.dst, copy.srcX, copy.srcY, &fade.ToImage()};
    case SweepSource::WorkImage:
      return SurfaceCall{SurfaceCall::Copy, copy.dst, copy.srcX, copy.srcY, &fade.WorkImage()};
  }
  return std::nullopt;
}

TEST(MorfFadeSweepTest, EveryStepDrawsTheCopyOfItsGeometry) {
  FadeRig rig(123, 77);
  const SweepGeometry geometry = MakeSweepGeometry(123, 77, 7);
  for (TAction action : {TAction::Stretch, TAction::Push, TAction::Slide})
    for (int v = 0; v <= int(TDirection::None); ++v) {
      const TDirection dir = TDirection(v);
      SCOPED_TRACE(::testing::Message() << "action " << int(action) << " dir " << v);
      const auto draws = RunSweep(rig, action, dir, 7);
      std::vector<SurfaceCall> expected;
      for (int i = 1; i <= 7; ++i)
        if (auto call = CallFor(SweepStepCopy(action, dir, geometry, i), rig.fade)) expected.push_back(*call);
      ASSERT_EQ(draws.size(), expected.size());
      for (std::size_t i = 0; i < draws.size(); ++i) {
        EXPECT_EQ(draws[i].kind, expected[i].kind) << "step " << i + 1;
        EXPECT_EQ(draws[i].rect, expected[i].rect) << "step " << i + 1;
        EXPECT_EQ(draws[i].srcX, expected[i].srcX) << "step " << i + 1;
        EXPECT_EQ(draws[i].srcY, expected[i].srcY) << "step " << i + 1;
        EXPECT_EQ(draws[i].source, expected[i].source) << "step " << i + 1;
      }
    }
}

TEST(MorfFadeSweepTest, PushSingleStepShowsTheToHalfOfTheComposite) {
  FadeRig rig(40, 30);
  rig.fade.SetColorFrom(kRed);
  rig.fade.SetColorTo(kGreen);
  const struct {
    TDirection dir;
    int sx, sy;
  } cases[] = {{TDirection::FromLeft, 0, 0},
               {TDirection::FromTop, 0, 0},
               {TDirection::FromRight, 40, 0},
               {TDirection::FromBottom, 0, 30}};
  for (const auto& c : cases) {
    const auto draws = RunSweep(rig, TAction::Push, c.dir, 1);
    ASSERT_EQ(draws.size(), 1u);
    EXPECT_EQ(draws[0].kind, SurfaceCall::Copy);
    EXPECT_EQ(draws[0].source, &rig.fade.WorkImage());
    EXPECT_EQ(draws[0].srcX, c.sx);
    EXPECT_EQ(draws[0].srcY, c.sy);
    EXPECT_EQ(draws[0].rect, (Rect{0, 0, 40, 30}));
    EXPECT_TRUE(AllPixels(rig.surface.screen, kGreen));
    rig.fade.SetColorFrom(kRed);  // the run left the To colour in the from-image
    rig.fade.Reset();
  }
}

TEST(MorfFadeSweepTest, PushFromLeftSlidesTheWindowAcrossTheComposite) {
  FadeRig rig(40, 10);
  rig.fade.SetColorFrom(kRed);
  rig.fade.SetColorTo(kGreen);
  int step = 0;
  rig.surface.onDraw = [&](const SurfaceCall& c) {
    ++step;
    const int x = 10 * step;  // 40 / 4 a step
    EXPECT_EQ(c.srcX, 40 - x);
    // The To picture has entered x columns from the left.
    EXPECT_EQ(testing::CountPixels(rig.surface.screen, kGreen), x * 10);
    EXPECT_EQ(rig.surface.screen.PixelAt(39, 0), step == 4 ? kGreen : kRed);
  };
  RunSweep(rig, TAction::Push, TDirection::FromLeft, 4);
  EXPECT_EQ(step, 4);
  EXPECT_EQ(rig.fade.WorkImage().PixelAt(0, 0), kGreen);  // to-image at (0, 0)
  EXPECT_EQ(rig.fade.WorkImage().PixelAt(40, 0), kRed);   // from-image at (W, 0)
}

TEST(MorfFadeSweepTest, PushWithAnotherDirectionDrawsNothingButEnds) {
  FadeRig rig(20, 20);
  EXPECT_TRUE(RunSweep(rig, TAction::Push, TDirection::XcenterOut, 5).empty());
  EXPECT_EQ(rig.events.back(), "End");
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), 0xFFFFFF));
}

TEST(MorfFadeSweepTest, NonGeometricActionsRunTheirStepsWithoutDrawing) {
  FadeRig rig(20, 20);
  rig.fade.SetProcessMsgs(true);
  EXPECT_TRUE(RunSweep(rig, TAction::xBlend, TDirection::FromLeft, 6).empty());
  EXPECT_EQ(rig.host.processCalls, 6);
  EXPECT_EQ(rig.events.back(), "End");
}

TEST(MorfFadeSweepTest, ZeroStepsRaiseAfterBeginAndDrawNothing) {
  FadeRig rig(20, 20);
  rig.fade.SetSteps(0);
  EXPECT_THROW(rig.fade.Sweep(), EZeroDivide);
  EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Begin"}));
  EXPECT_TRUE(rig.surface.Draws().empty());
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kBlack));
  try {
    rig.fade.Sweep();
  } catch (const EZeroDivide& e) {
    EXPECT_STREQ(e.what(), "Division by zero");
  }
}

TEST(MorfFadeSweepTest, NegativeStepsEndAtOnceWithTheToPicture) {
  FadeRig rig(20, 20);
  EXPECT_TRUE(RunSweep(rig, TAction::Stretch, TDirection::FromLeft, -3).empty());
  EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Begin", "End"}));
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), 0xFFFFFF));
}

TEST(MorfFadeSweepTest, ComponentWithoutPixelsEndsNormally) {
  FadeRig rig(0, 30);
  for (TAction action : {TAction::Stretch, TAction::Push, TAction::Slide}) {
    const auto draws = RunSweep(rig, action, TDirection::FromRight, 5);
    EXPECT_EQ(rig.events.back(), "End");
    for (const SurfaceCall& c : draws) EXPECT_EQ(c.rect.Width(), 0);
  }
}

TEST(MorfFadeSweepTest, StopShowsTheToImageButKeepsTheFromImage) {
  FadeRig rig(30, 30);
  rig.fade.SetProcessMsgs(true);
  rig.host.onProcessMessages = [&] {
    if (rig.surface.Draws().size() == 3) rig.fade.StopRequested = true;
  };
  const auto draws = RunSweep(rig, TAction::Slide, TDirection::FromTop, 10);
  ASSERT_EQ(draws.size(), 4u);
  EXPECT_EQ(draws[3].rect, (Rect{0, 0, 30, 30}));
  EXPECT_TRUE(AllPixels(rig.surface.screen, 0xFFFFFF));
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kBlack));
  EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Begin", "End"}));
  EXPECT_FALSE(rig.fade.StopRequested);
}

TEST(MorfFadeSweepTest, FullStretchLeavesTheToPictureOnScreen) {
  FadeRig rig(75, 40);
  auto picture = MakeGraphic(GraphicKind::Raster, 75, 40, 0);
  picture->patterned = true;
  rig.fade.SetPicTo(picture);
  RunSweep(rig, TAction::Stretch, TDirection::FromTop, 30);
  EXPECT_TRUE(SamePixels(rig.surface.screen, rig.fade.ToImage()));
  EXPECT_TRUE(SamePixels(rig.fade.FromImage(), rig.fade.ToImage()));
}

}  // namespace
}  // namespace velmora
