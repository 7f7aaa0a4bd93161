// Dissolve: step counts, the pixels each step reveals, stopping and the way
// back by dissolve.
#include <gtest/gtest.h>

#include <set>

#include "app/Random.h"
#include "fade/MorfFade.h"
#include "support/DotListReference.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

using testing::AllPixels;
using testing::CountPixels;
using testing::FadeRig;
using testing::MakeGraphic;
using testing::Pixel;
using testing::SurfaceCall;

constexpr TColor kRed = 0x0000FF;
constexpr TColor kBlue = 0xFF0000;

class MorfFadeDissolveTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFixedRandomizeSeed(4242u); }
  void TearDown() override { SetFixedRandomizeSeed(std::nullopt); }
};

// The number of white pixels on the screen after each drawing call.
std::vector<long> WhiteAfterEachPaint(FadeRig& rig) {
  std::vector<long> counts;
  rig.surface.onDraw = [&](const SurfaceCall&) { counts.push_back(CountPixels(rig.surface.screen, kWhite)); };
  rig.fade.Dissolve();
  rig.surface.onDraw = nullptr;
  return counts;
}

TEST_F(MorfFadeDissolveTest, StepCountsFollowTheRate) {
  struct Case {
    int w, h, rate;
    long perStep;
    int fullSteps;
  } cases[] = {{100, 100, 125, 80, 125}, {100, 100, 128, 78, 128}, {10, 10, 60, 1, 100}};
  for (const Case& c : cases) {
    FadeRig rig(c.w, c.h);
    rig.fade.SetAction(TAction::xDissolve);
    rig.fade.SetDirection(TDirection::FromLeft);
    rig.fade.SetDotSize(3);
    rig.fade.SetDisolvRate(c.rate);
    const std::vector<long> counts = WhiteAfterEachPaint(rig);
    ASSERT_EQ(int(counts.size()), c.fullSteps + 1) << c.rate;  // full steps and the last repaint
    for (int s = 0; s < c.fullSteps; ++s) ASSERT_EQ(counts[s], (s + 1) * c.perStep);
    EXPECT_EQ(counts.back(), long(c.w) * c.h);
    EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Begin", "End"}));
    EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kWhite));
  }
}

// Runs a dissolve that reveals one pixel per step and returns the pixels in
// the order they reached the screen.
std::vector<Pixel> ArrivalOnScreen(FadeRig& rig) {
  std::vector<Pixel> order;
  MemoryImage24 before(rig.fade.Width(), rig.fade.Height());
  before.Fill(kBlack);
  rig.surface.onDraw = [&](const SurfaceCall&) {
    for (int y = 0; y < before.Height(); ++y)
      for (int x = 0; x < before.Width(); ++x)
        if (rig.surface.screen.PixelAt(x, y) != before.PixelAt(x, y)) order.emplace_back(y, x);
    before.Draw(rig.surface.screen, 0, 0);
  };
  rig.fade.SetDisolvRate(rig.fade.Width() * rig.fade.Height());
  rig.fade.Dissolve();
  rig.surface.onDraw = nullptr;
  return order;
}

TEST_F(MorfFadeDissolveTest, PixelsArriveInTheReferenceOrderOnePerStep) {
  const TDirection dirs[] = {TDirection::FromLeft,   TDirection::FromRight, TDirection::FromBottom,
                             TDirection::XcenterIn, TDirection::YcenterOut, TDirection::ZoomIn,
                             TDirection::ZoomOut,    TDirection::None};
  for (TDirection dir : dirs)
    for (TAction action : {TAction::xDissolve, TAction::Discover})
      for (int d : {1, 3}) {
        SCOPED_TRACE(::testing::Message() << "dir " << int(dir) << " action " << int(action) << " D " << d);
        FadeRig rig(11, 7);
        rig.fade.SetAction(action);
        rig.fade.SetDirection(dir);
        rig.fade.SetDotSize(d);
        rig.fade.SetGeneralRate(2);
        std::vector<Pixel> expected = testing::ReferenceDotList(11, 7, d, dir, action, 2);
        const bool reverse = dir == TDirection::FromRight || dir == TDirection::FromBottom ||
                             dir == TDirection::XcenterIn || dir == TDirection::ZoomIn;
        if (reverse) expected = std::vector<Pixel>(expected.rbegin(), expected.rend());
        const std::vector<Pixel> got = ArrivalOnScreen(rig);
        ASSERT_EQ(got.size(), expected.size());
        EXPECT_EQ(got, expected);
      }
}

TEST_F(MorfFadeDissolveTest, EachStepCopiesTheToPixelsExactly) {
  FadeRig rig(23, 17);
  auto from = MakeGraphic(GraphicKind::Raster, 23, 17, kRed);
  auto to = MakeGraphic(GraphicKind::Raster, 23, 17, 0);
  to->patterned = true;
  rig.fade.SetPicFrom(from);
  rig.fade.SetPicTo(to);
  rig.fade.SetAction(TAction::xDissolve);
  rig.fade.SetDirection(TDirection::ZoomOut);
  rig.fade.SetDotSize(4);
  rig.fade.SetDisolvRate(37);
  rig.surface.onDraw = [&](const SurfaceCall&) {
    const Image24& img = rig.fade.FromImage();
    for (int y = 0; y < 17; ++y)
      for (int x = 0; x < 23; ++x) {
        const TColor c = img.PixelAt(x, y);
        ASSERT_TRUE(c == kRed || c == testing::FakeGraphic::PatternAt(x, y));
      }
  };
  rig.fade.Dissolve();
  EXPECT_TRUE(testing::SamePixels(rig.fade.FromImage(), rig.fade.ToImage()));
}

TEST_F(MorfFadeDissolveTest, DotSizeBelowOneCountsAsOne) {
  for (int d : {0, -4}) {
    FadeRig rig(6, 5);
    rig.fade.SetAction(TAction::xDissolve);
    rig.fade.SetDirection(TDirection::FromTop);
    rig.fade.SetDotSize(d);
    rig.fade.SetDisolvRate(30);
    rig.fade.Dissolve();
    EXPECT_EQ(rig.surface.Count(SurfaceCall::Paint), 31);
    EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kWhite));
  }
}

TEST_F(MorfFadeDissolveTest, DirectionsWithoutBlockOrderStillRevealEverything) {
  for (TDirection dir : {TDirection::FromTopLeft, TDirection::FromBottomRight, TDirection::FromTopRight,
                         TDirection::FromBottomLeft, TDirection::Vertical, TDirection::Horizontal}) {
    FadeRig rig(13, 9);
    rig.fade.SetAction(TAction::xDissolve);
    rig.fade.SetDirection(dir);
    rig.fade.SetDotSize(2);
    rig.fade.SetDisolvRate(20);
    rig.fade.Dissolve();
    EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kWhite)) << int(dir);
  }
}

TEST_F(MorfFadeDissolveTest, StopShowsTheToImageAndLeavesTheFromImagePartlyConverted) {
  FadeRig rig(40, 40);
  rig.fade.SetAction(TAction::Discover);
  rig.fade.SetDirection(TDirection::FromLeft);
  rig.fade.SetDotSize(1);
  rig.fade.SetDisolvRate(16);
  rig.fade.SetProcessMsgs(true);
  rig.host.onProcessMessages = [&] {
    if (rig.host.processCalls == 4) rig.fade.StopRequested = true;
  };
  rig.fade.Dissolve();
  EXPECT_EQ(rig.surface.Count(SurfaceCall::Paint), 4);
  EXPECT_EQ(rig.surface.Draws().back().kind, SurfaceCall::Copy);
  EXPECT_TRUE(AllPixels(rig.surface.screen, kWhite));
  EXPECT_EQ(CountPixels(rig.fade.FromImage(), kWhite), 4 * 100);
  EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Begin", "End"}));
  // A repaint before the next Reset shows the partly converted picture.
  rig.fade.Paint();
  EXPECT_EQ(CountPixels(rig.surface.screen, kWhite), 400);
}

TEST_F(MorfFadeDissolveTest, TheLastRepaintHandlesNoMessages) {
  FadeRig rig(10, 10);
  rig.fade.SetAction(TAction::Discover);
  rig.fade.SetDisolvRate(8);  // 12 pixels a step, 8 steps and a remainder of 4
  rig.fade.SetProcessMsgs(true);
  rig.fade.Dissolve();
  EXPECT_EQ(rig.host.processCalls, 8);
  EXPECT_EQ(rig.surface.Count(SurfaceCall::Paint), 9);
}

TEST_F(MorfFadeDissolveTest, WayBackByDissolveReadsTheOrderFromItsStart) {
  FadeRig rig(4, 1);
  rig.fade.SetColorFrom(kRed);
  rig.fade.SetColorTo(kBlue);
  rig.fade.SetAction(TAction::Discover);
  rig.fade.SetDirection(TDirection::FromRight);
  rig.fade.SetDotSize(1);
  rig.fade.SetDisolvRate(4);
  rig.fade.SetAutoReverse(true);
  rig.fade.SetSwapOnReverse(false);
  rig.fade.SetSwapDelay(0);
  std::vector<std::string> frames;
  rig.surface.onDraw = [&](const SurfaceCall&) {
    std::string row;
    for (int x = 0; x < 4; ++x) row += rig.surface.screen.PixelAt(x, 0) == kRed ? 'R' : 'B';
    frames.push_back(row);
  };
  rig.events.clear();
  rig.fade.Dissolve();
  // Forward from the right; back to red from the left.
  EXPECT_EQ(frames, (std::vector<std::string>{"RRRB", "RRBB", "RBBB", "BBBB", "BBBB", "RBBB", "RRBB",
                                              "RRRB", "RRRR", "RRRR"}));
  EXPECT_EQ(rig.CountEvents("Begin"), 1);
  EXPECT_EQ(rig.CountEvents("End"), 1);
  EXPECT_EQ(rig.events.back(), "End");
  EXPECT_TRUE(rig.host.sleeps.empty());  // SwapDelay 0
  EXPECT_EQ(rig.fade.ColorFrom(), kRed);
  EXPECT_FALSE(rig.fade.SwapPending());
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kRed));
}

TEST_F(MorfFadeDissolveTest, SwapOnReverseGoesBackByBlend) {
  FadeRig rig(6, 6);
  rig.fade.SetAction(TAction::xDissolve);
  rig.fade.SetDisolvRate(9);
  rig.fade.SetBlendRate(4);
  rig.fade.SetAutoReverse(true);  // SwapOnReverse stays true
  std::vector<TColor> backFrames;
  rig.surface.onDraw = [&](const SurfaceCall&) {
    if (rig.fade.SwapPending()) backFrames.push_back(rig.surface.screen.PixelAt(0, 0));
  };
  rig.fade.Dissolve();
  // Five blend steps from white to black: w = 0, 8, 16, 24, 32.
  ASSERT_EQ(backFrames.size(), 5u);
  const int v[] = {255, 191, 127, 63, 0};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(backFrames[i], TColor(v[i] * 0x010101)) << i;
  EXPECT_EQ(rig.host.sleeps, std::vector<int>{1000});
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kBlack));
  EXPECT_EQ(rig.fade.ColorFrom(), kBlack);
}

TEST_F(MorfFadeDissolveTest, WayBackOnAShrunkenRateStillEnds) {
  // A blend going back by dissolve on a component smaller than DisolvRate.
  FadeRig rig(3, 3);
  rig.fade.SetDisolvRateUnchecked(125);
  rig.fade.SetAction(TAction::xBlend);
  rig.fade.SetAutoReverse(true);
  rig.fade.SetSwapDelay(-5);  // no wait at all
  rig.fade.Blend();
  EXPECT_TRUE(rig.host.sleeps.empty());
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kBlack));
  EXPECT_EQ(rig.events.back(), "End");
}

TEST_F(MorfFadeDissolveTest, ResizingDuringARunEndsItWithoutCopyingOutsideThePictures) {
  FadeRig rig(40, 40);
  rig.fade.SetAction(TAction::xDissolve);
  rig.fade.SetDisolvRate(10);
  rig.fade.SetProcessMsgs(true);
  rig.host.onProcessMessages = [&] {
    if (rig.host.processCalls == 2) rig.fade.SetBounds(0, 0, 5, 5);
  };
  rig.fade.Dissolve();
  EXPECT_EQ(rig.events.back(), "End");
  EXPECT_EQ(rig.surface.Count(SurfaceCall::Paint), 11);
}

TEST_F(MorfFadeDissolveTest, ShuffleReseedsTheGeneratorFromTheClock) {
  SetFixedRandomizeSeed(std::nullopt);
  SetRandomizeClock([] { return 777u; });
  FadeRig rig(20, 20);
  rig.fade.SetAction(TAction::xDissolve);
  rig.fade.SetDotSize(1);
  rig.fade.SetDisolvRate(400);
  SetRandSeed(1);
  const std::vector<Pixel> first = ArrivalOnScreen(rig);
  SetRandSeed(99);
  rig.fade.SetColorFrom(kRed);
  rig.fade.SetColorFrom(kBlack);
  const std::vector<Pixel> second = ArrivalOnScreen(rig);
  const std::vector<Pixel> expected =
      testing::ReferenceDotList(20, 20, 1, TDirection::FromLeft, TAction::xDissolve, 5);
  SetRandomizeClock(nullptr);
  EXPECT_EQ(first, second);
  EXPECT_EQ(first, expected);
}

}  // namespace
}  // namespace velmora
