// Blend: the weight of every step, the bytes it writes and the auto-reverse
// cycle.
#include <gtest/gtest.h>

#include "fade/MorfFade.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

using testing::AllPixels;
using testing::FadeRig;
using testing::MakeGraphic;
using testing::SurfaceCall;

constexpr TColor kRed = 0x0000FF;

// The grey level of the screen's pixel (0, 0) after each repaint.
std::vector<int> BlendLevels(FadeRig& rig) {
  std::vector<int> levels;
  rig.surface.onDraw = [&](const SurfaceCall&) { levels.push_back(int(rig.surface.screen.PixelAt(0, 0) & 0xFF)); };
  rig.fade.Blend();
  rig.surface.onDraw = nullptr;
  return levels;
}

TEST(MorfFadeBlendTest, WeightsOfEveryStep) {
  for (int rate : {1, 16, 32, 64}) {
    FadeRig rig(5, 3);  // 15 bytes a row and one of padding
    rig.fade.SetAction(TAction::xBlend);
    rig.fade.SetColorTo(0xFFFFFF);
    rig.fade.SetBlendRate(rate);
    const std::vector<int> levels = BlendLevels(rig);
    ASSERT_EQ(int(levels.size()), rate + 1);
    for (int i = 0; i <= rate; ++i) {
      const int w = i * 32 / rate;
      EXPECT_EQ(levels[i], 255 * w / 32) << "rate " << rate << " step " << i;
    }
    EXPECT_TRUE(testing::SamePixels(rig.fade.FromImage(), rig.fade.ToImage()));
  }
}

TEST(MorfFadeBlendTest, BytesAreWeightedMeansOfStartAndTo) {
  FadeRig rig(7, 2);
  rig.fade.SetAction(TAction::xBlend);
  rig.fade.SetColorFrom(0xC8C8C8);  // 200
  rig.fade.SetColorTo(0x646464);    // 100
  rig.fade.SetBlendRate(32);
  const std::vector<int> levels = BlendLevels(rig);
  EXPECT_EQ(levels[0], 200);  // w = 0 writes nothing
  EXPECT_EQ(levels[8], 175);
  EXPECT_EQ(levels[31], 103);
  EXPECT_EQ(levels[32], 100);
  EXPECT_TRUE(AllPixels(rig.fade.WorkImage(), 0xC8C8C8));  // the start picture, unchanged
}

TEST(MorfFadeBlendTest, ColourFramesBlendChannelByChannel) {
  FadeRig rig(4, 4);
  rig.fade.SetAction(TAction::xBlend);
  rig.fade.SetColorFrom(0x102030);
  rig.fade.SetColorTo(0x80C0F0);
  rig.fade.SetBlendRate(16);
  int step = 0;
  rig.surface.onDraw = [&](const SurfaceCall&) {
    const int w = step * 2;
    auto mix = [w](int a, int t) { return (a * (32 - w) + t * w) / 32; };
    const TColor expected = TColor(mix(0x30, 0xF0) | mix(0x20, 0xC0) << 8 | mix(0x10, 0x80) << 16);
    EXPECT_TRUE(AllPixels(rig.surface.screen, expected)) << step;
    ++step;
  };
  rig.fade.Blend();
  EXPECT_EQ(step, 17);
}

TEST(MorfFadeBlendTest, AutoReverseFadesInHoldsAndFadesOut) {
  FadeRig rig(6, 4);
  TMorfFade& f = rig.fade;
  f.SetAction(TAction::xBlend);
  f.SetBlendRate(8);
  f.SetAutoReverse(true);
  f.SetSwapOnReverse(false);
  f.SetSwapDelay(2);
  f.SetColorFrom(kRed);
  std::vector<int> sleepsBeforePaint;
  std::vector<TColor> frames;
  rig.surface.onDraw = [&](const SurfaceCall&) {
    frames.push_back(rig.surface.screen.PixelAt(0, 0));
    sleepsBeforePaint.push_back(int(rig.host.sleeps.size()));
  };
  rig.events.clear();
  f.Blend();
  ASSERT_EQ(frames.size(), 18u);  // 9 steps in, 9 steps out
  EXPECT_EQ(frames[8], kWhite);
  EXPECT_EQ(frames[17], kRed);
  EXPECT_EQ(rig.host.sleeps, std::vector<int>{2000});
  EXPECT_EQ(sleepsBeforePaint[8], 0);  // the hold comes between the two halves
  EXPECT_EQ(sleepsBeforePaint[9], 1);
  EXPECT_EQ(rig.events.front(), "Reset");
  EXPECT_EQ(rig.events[1], "Begin");
  EXPECT_EQ(rig.events.back(), "End");
  EXPECT_EQ(rig.CountEvents("End"), 1);
  EXPECT_EQ(rig.CountEvents("Begin"), 1);
  // Settings as before the run, and the From picture shown again.
  EXPECT_EQ(f.ColorFrom(), kRed);
  EXPECT_EQ(f.ColorTo(), kWhite);
  EXPECT_TRUE(f.StretchToFit());
  EXPECT_FALSE(f.SwapPending());
  EXPECT_TRUE(AllPixels(f.FromImage(), kRed));
  f.Paint();
  EXPECT_TRUE(AllPixels(rig.surface.screen, kRed));
}

TEST(MorfFadeBlendTest, AutoReverseInNaturalSizeRestoresPicturesAndSize) {
  // The preview's hint: a captured background in both pictures, natural size.
  FadeRig rig(441, 75);
  TMorfFade& f = rig.fade;
  auto background = MakeGraphic(GraphicKind::Raster, 30, 10, kRed);
  auto hint = MakeGraphic(GraphicKind::Raster, 30, 10, 0x00FF00);
  f.SetStretchToFit(false);
  f.SetAutoReverse(true);
  f.SetSwapOnReverse(false);
  f.SetSwapDelay(2);
  f.SetAction(TAction::xBlend);
  f.SetPicFrom(background);
  f.SetPicTo(hint);
  EXPECT_EQ(f.Width(), 30);
  f.Blend();
  EXPECT_FALSE(f.StretchToFit());
  EXPECT_EQ(f.PicFrom().GetGraphic(), background);
  EXPECT_EQ(f.PicTo().GetGraphic(), hint);
  EXPECT_TRUE(AllPixels(f.FromImage(), kRed));
  EXPECT_EQ(f.Width(), 30);
}

TEST(MorfFadeBlendTest, SwapOnReverseGoesBackByDissolveInFitMode) {
  FadeRig rig(10, 10);
  TMorfFade& f = rig.fade;
  f.SetAction(TAction::xBlend);
  f.SetBlendRate(2);
  f.SetDisolvRate(4);
  f.SetAutoReverse(true);
  f.SetSwapDelay(0);
  f.SetStretchToFit(false);
  std::vector<long> blackOnTheWayBack;
  bool fitDuringWayBack = false;
  rig.surface.onDraw = [&](const SurfaceCall&) {
    if (!f.SwapPending()) return;
    fitDuringWayBack = f.StretchToFit();
    blackOnTheWayBack.push_back(testing::CountPixels(rig.surface.screen, kBlack));
  };
  f.Blend();
  EXPECT_EQ(blackOnTheWayBack, (std::vector<long>{25, 50, 75, 100, 100}));
  EXPECT_TRUE(fitDuringWayBack);
  EXPECT_FALSE(f.StretchToFit());  // restored
}

TEST(MorfFadeBlendTest, StopShowsTheToImageAndKeepsThePartlyBlendedPicture) {
  FadeRig rig(8, 8);
  rig.fade.SetAction(TAction::xBlend);
  rig.fade.SetBlendRate(32);
  rig.fade.SetProcessMsgs(true);
  rig.host.onProcessMessages = [&] {
    if (rig.host.processCalls == 9) rig.fade.StopRequested = true;
  };
  rig.fade.Blend();
  EXPECT_TRUE(AllPixels(rig.surface.screen, kWhite));
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), 0x3F3F3F));  // w = 8: 255 * 8 / 32
  EXPECT_EQ(rig.events, (std::vector<std::string>{"Reset", "Begin", "End"}));
}

TEST(MorfFadeBlendTest, BlendAfterPushSettingsUsesAWorkImageOfItsOwnSize) {
  FadeRig rig(9, 5);
  rig.fade.SetAction(TAction::Push);
  rig.fade.SetBlendRate(4);
  rig.fade.Blend();
  EXPECT_EQ(rig.fade.WorkImage().Width(), 9);
  EXPECT_TRUE(AllPixels(rig.fade.FromImage(), kWhite));
}

TEST(MorfFadeBlendTest, ComponentWithoutPixelsBlendsNothing) {
  FadeRig rig(0, 0);
  rig.fade.SetAction(TAction::xBlend);
  rig.fade.Blend();
  EXPECT_EQ(rig.surface.Count(SurfaceCall::Paint), 33);
  EXPECT_EQ(rig.events.back(), "End");
}

}  // namespace
}  // namespace velmora
