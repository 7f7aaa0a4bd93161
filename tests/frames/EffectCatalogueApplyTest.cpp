// ApplyFrameEffect on a real component over fake surface and host: which
// settings it gives the component, which run it starts, the draws of "Any"
// and the mends for records the editor never writes.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "app/Random.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameRecord.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

using testing::FadeRig;
using testing::SurfaceCall;

std::unique_ptr<FrameRecord> Frame(std::int32_t effect, std::uint8_t direction, std::int32_t speed,
                                   std::int32_t dotSize) {
  auto frame = NewFrameRecord();
  frame->Effect = effect;
  frame->Direction = direction;
  frame->Speed = speed;
  frame->DotSize = dotSize;
  return frame;
}

// A 40 x 20 component (800 pixels, enough for every dissolve rate) going
// from black to white.
struct ApplyRig : FadeRig {
  ApplyRig() : FadeRig(40, 20) {
    fade.SetColorFrom(kBlack);
    fade.SetColorTo(kWhite);
    surface.Clear();
    SetFixedRandomizeSeed(777);  // the dissolve's own reseeding, made repeatable
  }
  ~ApplyRig() { SetFixedRandomizeSeed(std::nullopt); }

  bool Apply(const FrameRecord& frame) {
    const bool ran = ApplyFrameEffect(frame, fade);
    if (ran) {
      EXPECT_TRUE(testing::AllPixels(fade.FromImage(), kWhite)) << "the run ended on the To side";
    }
    return ran;
  }
};

TEST(EffectCatalogueApplyTest, GeometricEffectsSetStepsAndSweep) {
  ApplyRig rig;
  ASSERT_TRUE(rig.Apply(*Frame(EffectStretch, DirectionZoomOut, 3, -1)));
  EXPECT_EQ(rig.fade.Action(), TAction::Stretch);
  EXPECT_EQ(rig.fade.Direction(), TDirection::ZoomOut);
  EXPECT_EQ(rig.fade.Steps(), 81);
  EXPECT_EQ(rig.surface.Count(SurfaceCall::Stretch), 81);

  ASSERT_TRUE(rig.Apply(*Frame(EffectPush, DirectionFromBottom, 10, -1)));
  EXPECT_EQ(rig.fade.Action(), TAction::Push);
  EXPECT_EQ(rig.fade.Steps(), 300);

  rig.surface.Clear();
  ASSERT_TRUE(rig.Apply(*Frame(EffectSlide, DirectionFromTopRight, 3, -1)));
  EXPECT_EQ(rig.fade.Action(), TAction::Slide);
  EXPECT_EQ(rig.fade.Direction(), TDirection::FromTopRight);
  EXPECT_EQ(rig.fade.Steps(), 160);
  EXPECT_EQ(rig.surface.Count(SurfaceCall::Copy), 160);
}

TEST(EffectCatalogueApplyTest, DissolveScalesRateAndDotSizeAndDerivesGeneralRate) {
  ApplyRig rig;
  ASSERT_TRUE(rig.Apply(*Frame(EffectDissolve, DirectionYcenterIn, 3, 5)));
  EXPECT_EQ(rig.fade.Action(), TAction::xDissolve);
  EXPECT_EQ(rig.fade.Direction(), TDirection::YcenterIn);
  EXPECT_EQ(rig.fade.DisolvRate(), 50);
  EXPECT_EQ(rig.fade.DotSize(), 21);
  EXPECT_EQ(rig.fade.GeneralRate(), 5);
  // 800 pixels, 16 a step: 50 full steps and the last repaint.
  EXPECT_EQ(rig.surface.Count(SurfaceCall::Paint), 51);

  ASSERT_TRUE(rig.Apply(*Frame(EffectDissolve, DirectionNone, 0, 0)));
  EXPECT_EQ(rig.fade.DisolvRate(), 16);
  EXPECT_EQ(rig.fade.DotSize(), 1);
  EXPECT_EQ(rig.fade.GeneralRate(), 34);
}

TEST(EffectCatalogueApplyTest, DiscoverAlwaysUsesDotSizeOne) {
  ApplyRig rig;
  ASSERT_TRUE(rig.Apply(*Frame(EffectDiscover, DirectionZoomIn, 10, 9)));
  EXPECT_EQ(rig.fade.Action(), TAction::Discover);
  EXPECT_EQ(rig.fade.DisolvRate(), 128);
  EXPECT_EQ(rig.fade.DotSize(), 1);
}

TEST(EffectCatalogueApplyTest, BlendSetsTheRateThroughItsSetter) {
  ApplyRig rig;
  ASSERT_TRUE(rig.Apply(*Frame(EffectBlend, DirectionNone, 3, -1)));
  EXPECT_EQ(rig.fade.Action(), TAction::xBlend);
  EXPECT_EQ(rig.fade.Direction(), TDirection::None);
  EXPECT_EQ(rig.fade.BlendRate(), 30);
  EXPECT_EQ(rig.surface.Count(SurfaceCall::Paint), 31);
}

TEST(EffectCatalogueApplyTest, NoneRunsNothing) {
  ApplyRig rig;
  rig.fade.SetSteps(12345);
  EXPECT_FALSE(rig.Apply(*Frame(EffectNone, DirectionFromLeft, 3, 3)));
  EXPECT_EQ(rig.fade.Steps(), 12345);
  EXPECT_TRUE(rig.surface.Draws().empty());
  EXPECT_TRUE(testing::AllPixels(rig.fade.FromImage(), kBlack));
}

// The generator written out from its definition.
struct GeneratorModel {
  std::uint32_t seed;
  std::int32_t Next(std::int32_t n) {
    seed = seed * 134775813u + 1u;
    return std::int32_t((std::uint64_t(seed) * std::uint64_t(std::uint32_t(n))) >> 32);
  }
};

TEST(EffectCatalogueApplyTest, AnyDrawsActionDirectionSpeedAndDotSizeInThatOrder) {
  ApplyRig rig;
  // Worked by hand for seed 0: the seeds run 1, 134775814, ...; the first
  // draw is (1 * 6) >> 32 = 0 (Stretch), the second picks among Stretch's 11
  // directions with seed 134775814: (134775814 * 11) >> 32 = 0, FromLeft.
  SetRandSeed(0);
  GeneratorModel model{0};
  const int action = model.Next(6);
  ASSERT_EQ(action, ActionStretch);
  ASSERT_EQ(model.Next(11), 0);
  const int speed = model.Next(10);
  model.Next(10);
  ASSERT_TRUE(rig.Apply(*Frame(EffectAny, DirectionZoomIn, -1, -1)));
  EXPECT_EQ(rig.fade.Action(), TAction::Stretch);
  EXPECT_EQ(rig.fade.Direction(), TDirection::FromLeft);
  EXPECT_EQ(rig.fade.Steps(), ScaleSetting(speed, 30, 200));
  EXPECT_EQ(RandSeed(), model.seed) << "four draws, nothing else (a Sweep does not reseed)";

  // Over many seeds the component gets exactly what the model predicts.
  int seenActions = 0;
  for (std::uint32_t seed = 1; seed < 400; seed += 7) {
    SetRandSeed(seed * 2654435761u);
    GeneratorModel m{seed * 2654435761u};
    const int a = m.Next(6);
    int offered = 0;
    for (int d = 0; d < DirectionCodeCount; ++d) offered += EffectTable[a][d].Allowed;
    int r = m.Next(offered);
    int direction = 0;
    for (; direction < DirectionCodeCount; ++direction)
      if (EffectTable[a][direction].Allowed && r-- == 0) break;
    const int s = m.Next(10);
    const int dot = m.Next(10);
    ASSERT_TRUE(rig.Apply(*Frame(EffectAny, 0, 10, 10)));
    seenActions |= 1 << a;
    ASSERT_EQ(int(rig.fade.Action()), a) << seed;
    ASSERT_EQ(int(rig.fade.Direction()), direction) << seed;
    const EffectTableEntry& e = EffectTable[a][direction];
    switch (a) {
      case ActionStretch: case ActionPush: case ActionSlide:
        EXPECT_EQ(rig.fade.Steps(), ScaleSetting(s, e.RateMin, e.RateMax));
        break;
      case ActionDissolve:
        EXPECT_EQ(rig.fade.DisolvRate(), ScaleSetting(s, 16, 128));
        EXPECT_EQ(rig.fade.DotSize(), ScaleSetting(dot, 1, 40));
        EXPECT_EQ(rig.fade.GeneralRate(), 30 / ScaleSetting(dot, 1, 40) + 4);
        break;
      case ActionBlend:
        EXPECT_EQ(rig.fade.BlendRate(), ScaleSetting(s, 16, 64));
        break;
      case ActionDiscover:
        EXPECT_EQ(rig.fade.DisolvRate(), ScaleSetting(s, 16, 128));
        EXPECT_EQ(rig.fade.DotSize(), 1);
        break;
    }
    EXPECT_LT(s, 10);
    EXPECT_LT(dot, 10);
  }
  EXPECT_EQ(seenActions, 0x3F) << "every action 0 to 5 came up";
}

TEST(EffectCatalogueApplyTest, DamagedRecordsPlaySafely) {
  ApplyRig rig;
  // Effect codes outside 0 to 7 play as none.
  EXPECT_FALSE(rig.Apply(*Frame(8, 0, 3, 3)));
  EXPECT_FALSE(rig.Apply(*Frame(-1, 0, 3, 3)));
  EXPECT_FALSE(rig.Apply(*Frame(0x7FFFFFFF, 0, 3, 3)));
  EXPECT_TRUE(rig.surface.Draws().empty());

  // A direction above 16 plays as the effect's first offered direction.
  ASSERT_TRUE(rig.Apply(*Frame(EffectStretch, 200, 0, -1)));
  EXPECT_EQ(rig.fade.Direction(), TDirection::FromLeft);
  EXPECT_EQ(rig.fade.Steps(), 30);
  ASSERT_TRUE(rig.Apply(*Frame(EffectBlend, 17, 0, -1)));
  EXPECT_EQ(rig.fade.Direction(), TDirection::None);

  // Push with XcenterOut has no range (0 steps, which Sweep cannot draw).
  ASSERT_TRUE(rig.Apply(*Frame(EffectPush, DirectionXcenterOut, 5, -1)));
  EXPECT_EQ(rig.fade.Direction(), TDirection::FromLeft);
  EXPECT_EQ(rig.fade.Steps(), 200);

  // A Dissolve corner (not offered, no block order) plays from the left.
  ASSERT_TRUE(rig.Apply(*Frame(EffectDissolve, DirectionFromBottomRight, 5, 5)));
  EXPECT_EQ(rig.fade.Direction(), TDirection::FromLeft);

  // Positions of -1 or beyond 10 are clamped into 0 .. 10.
  ASSERT_TRUE(rig.Apply(*Frame(EffectDissolve, DirectionFromTop, -1, -1)));
  EXPECT_EQ(rig.fade.DisolvRate(), 16);
  EXPECT_EQ(rig.fade.DotSize(), 1);
  EXPECT_EQ(rig.fade.GeneralRate(), 34);
  ASSERT_TRUE(rig.Apply(*Frame(EffectDissolve, DirectionFromTop, 1000, 0x7FFFFFFF)));
  EXPECT_EQ(rig.fade.DisolvRate(), 128);
  EXPECT_EQ(rig.fade.DotSize(), 40);
  EXPECT_EQ(rig.fade.GeneralRate(), 4);
  ASSERT_TRUE(rig.Apply(*Frame(EffectBlend, DirectionNone, -7, -1)));
  EXPECT_EQ(rig.fade.BlendRate(), 16);
  ASSERT_TRUE(rig.Apply(*Frame(EffectSlide, DirectionFromLeft, 11, -1)));
  EXPECT_EQ(rig.fade.Steps(), 300);
}

// One component per monitor: every effect (Any drawn once per transition)
// gives each component exactly the settings a single component gets, and
// every one runs to its To side.
TEST(EffectCatalogueApplyTest, AGroupOfMonitorsGetsTheSettingsOfASingleComponent) {
  struct Settings {
    TAction action;
    TDirection direction;
    int steps, disolvRate, dotSize, generalRate, blendRate;
    bool operator==(const Settings&) const = default;
  };
  auto settingsOf = [](const TMorfFade& f) {
    return Settings{f.Action(), f.Direction(), f.Steps(), f.DisolvRate(), f.DotSize(), f.GeneralRate(), f.BlendRate()};
  };
  for (std::int32_t effect = EffectStretch; effect <= EffectAny; ++effect) {
    for (std::uint32_t seed : {1u, 7u, 99u, 2024u}) {
      SCOPED_TRACE(std::to_string(effect) + " seed " + std::to_string(seed));
      const auto frame = Frame(effect, DirectionFromLeft, 4, 6);
      ApplyRig single;
      SetRandSeed(seed);
      ASSERT_TRUE(single.Apply(*frame));
      ApplyRig left, right;
      right.fade.SetBounds(0, 0, 30, 26);  // another size and proportion
      SetRandSeed(seed);
      ASSERT_TRUE(ApplyFrameEffect(*frame, std::vector<TMorfFade*>{&left.fade, &right.fade}));
      EXPECT_EQ(settingsOf(left.fade), settingsOf(single.fade));
      EXPECT_EQ(settingsOf(right.fade), settingsOf(single.fade));
      for (const ApplyRig* rig : {&left, &right}) {
        EXPECT_TRUE(testing::AllPixels(rig->fade.FromImage(), kWhite));
        EXPECT_EQ(rig->CountEvents("End"), 1);
      }
    }
  }
  ApplyRig none;
  EXPECT_FALSE(ApplyFrameEffect(*Frame(EffectNone, 0, 0, 0), std::vector<TMorfFade*>{&none.fade, &none.fade}));
  EXPECT_FALSE(ApplyFrameEffect(*Frame(EffectBlend, 0, 0, 0), std::vector<TMorfFade*>{}));
}

}  // namespace
}  // namespace velmora
