// A group of components playing one transition in lockstep, one per monitor:
// each ends on its own to-image, events fire once per component, the group
// pumps once per step and a stop on any of them stops all.
#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "app/Random.h"
#include "fade/MorfFade.h"
#include "support/FakeFade.h"

namespace velmora {
namespace {

using testing::AllPixels;
using testing::FadeRig;
using testing::MakeGraphic;
using testing::SamePixels;

constexpr TColor kRed = 0x0000FF;

struct GroupCase {
  const char* name;
  TAction action;
  TDirection direction;
};

const GroupCase kCases[] = {
    {"stretch", TAction::Stretch, TDirection::ZoomOut},   {"push", TAction::Push, TDirection::FromRight},
    {"slide", TAction::Slide, TDirection::FromTopLeft},   {"dissolve", TAction::xDissolve, TDirection::FromLeft},
    {"discover", TAction::Discover, TDirection::Vertical}, {"blend", TAction::xBlend, TDirection::None},
};

// Components of different proportions showing one patterned picture after red.
std::vector<std::unique_ptr<FadeRig>> MakeRigs(const GroupCase& c, std::vector<std::pair<int, int>> sizes) {
  std::vector<std::unique_ptr<FadeRig>> rigs;
  auto picture = MakeGraphic(GraphicKind::Raster, 64, 48, 0);
  picture->patterned = true;
  for (const auto& [w, h] : sizes) {
    auto rig = std::make_unique<FadeRig>(w, h);
    rig->fade.SetColorFrom(kRed);
    rig->fade.SetPicTo(picture);
    rig->fade.SetAction(c.action);
    rig->fade.SetDirection(c.direction);
    rig->fade.SetSteps(7);
    rig->fade.SetDisolvRate(9);
    rig->fade.SetBlendRate(5);
    rig->fade.SetDotSize(3);
    rig->fade.SetProcessMsgs(true);
    rig->events.clear();
    rig->surface.Clear();
    rigs.push_back(std::move(rig));
  }
  return rigs;
}

void Play(TMorfFadeGroup& group, TAction action) {
  switch (action) {
    case TAction::xDissolve:
    case TAction::Discover: group.Dissolve(); break;
    case TAction::xBlend: group.Blend(); break;
    default: group.Sweep(); break;
  }
}

void PlayAlone(TMorfFade& fade, TAction action) {
  switch (action) {
    case TAction::xDissolve:
    case TAction::Discover: fade.Dissolve(); break;
    case TAction::xBlend: fade.Blend(); break;
    default: fade.Sweep(); break;
  }
}

class MorfFadeGroupTest : public ::testing::Test {
 protected:
  void SetUp() override { SetFixedRandomizeSeed(77u); }
  void TearDown() override { SetFixedRandomizeSeed(std::nullopt); }
};

TEST_F(MorfFadeGroupTest, EveryComponentEndsOnItsOwnToImageWithOneEventEach) {
  for (const GroupCase& c : kCases) {
    SCOPED_TRACE(c.name);
    auto rigs = MakeRigs(c, {{40, 30}, {25, 36}, {9, 5}});
    int longest = 0;
    for (const auto& rig : rigs) {
      // What each would draw alone: the steps the group must pump for.
      FadeRig alone(rig->fade.Width(), rig->fade.Height());
      alone.fade.SetPicTo(rig->fade.PicTo());
      alone.fade.SetAction(c.action);
      alone.fade.SetDirection(c.direction);
      alone.fade.SetSteps(7);
      alone.fade.SetDisolvRate(9);
      alone.fade.SetBlendRate(5);
      alone.fade.SetDotSize(3);
      alone.fade.SetProcessMsgs(true);
      PlayAlone(alone.fade, c.action);
      longest = std::max(longest, alone.host.processCalls);
    }
    std::vector<TMorfFade*> fades;
    for (const auto& rig : rigs) fades.push_back(&rig->fade);
    TMorfFadeGroup group(fades);
    Play(group, c.action);
    for (const auto& rig : rigs) {
      EXPECT_EQ(rig->CountEvents("Begin"), 1);
      EXPECT_EQ(rig->CountEvents("End"), 1);
      EXPECT_TRUE(SamePixels(rig->fade.FromImage(), rig->fade.ToImage()));
      EXPECT_EQ(rig->fade.ToImage().Width(), rig->fade.Width());
      EXPECT_FALSE(AllPixels(rig->fade.FromImage(), kRed));
      EXPECT_FALSE(rig->surface.Draws().empty());
    }
    // One pump per group step, all on the first component's host.
    EXPECT_EQ(rigs[0]->host.processCalls, longest);
    EXPECT_EQ(rigs[1]->host.processCalls, 0);
    EXPECT_EQ(rigs[2]->host.processCalls, 0);
  }
}

TEST_F(MorfFadeGroupTest, AGroupOfOneDrawsExactlyWhatTheComponentDrawsAlone) {
  for (const GroupCase& c : kCases) {
    SCOPED_TRACE(c.name);
    auto single = MakeRigs(c, {{33, 21}});
    auto grouped = MakeRigs(c, {{33, 21}});
    SetFixedRandomizeSeed(5u);
    PlayAlone(single[0]->fade, c.action);
    SetFixedRandomizeSeed(5u);
    TMorfFadeGroup group({&grouped[0]->fade});
    Play(group, c.action);
    const auto a = single[0]->surface.Draws();
    const auto b = grouped[0]->surface.Draws();
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t i = 0; i < a.size(); ++i) {
      EXPECT_EQ(a[i].kind, b[i].kind);
      EXPECT_EQ(a[i].rect, b[i].rect);
    }
    EXPECT_TRUE(SamePixels(single[0]->surface.screen, grouped[0]->surface.screen));
    EXPECT_EQ(single[0]->events, grouped[0]->events);
    EXPECT_EQ(single[0]->host.processCalls, grouped[0]->host.processCalls);
  }
}

TEST_F(MorfFadeGroupTest, AStopOnAnyComponentOrTheGroupStopsThemAll) {
  enum class Who { First, Second, Group };
  for (const GroupCase& c : kCases) {
    for (Who who : {Who::First, Who::Second, Who::Group}) {
      SCOPED_TRACE(std::string(c.name) + " stopper " + std::to_string(int(who)));
      auto rigs = MakeRigs(c, {{40, 30}, {20, 30}});
      TMorfFadeGroup group({&rigs[0]->fade, &rigs[1]->fade});
      rigs[0]->host.onProcessMessages = [&] {
        if (rigs[0]->host.processCalls != 2) return;
        if (who == Who::First) rigs[0]->fade.StopRequested = true;
        if (who == Who::Second) rigs[1]->fade.StopRequested = true;
        if (who == Who::Group) group.StopRequested = true;
      };
      Play(group, c.action);
      for (const auto& rig : rigs) {
        EXPECT_EQ(rig->events, (std::vector<std::string>{"Reset", "Begin", "End"}));
        EXPECT_FALSE(rig->fade.StopRequested);
        // A stop shows the to-image at once.
        EXPECT_TRUE(SamePixels(rig->surface.screen, rig->fade.ToImage()));
      }
      EXPECT_FALSE(group.StopRequested);
      EXPECT_EQ(rigs[0]->host.processCalls, 2);
    }
  }
}

TEST_F(MorfFadeGroupTest, ARunThatCannotBeDrawnRaisesAsItDoesAlone) {
  auto rigs = MakeRigs(kCases[0], {{10, 10}, {12, 8}});
  for (const auto& rig : rigs) rig->fade.SetSteps(0);
  TMorfFadeGroup group({&rigs[0]->fade, &rigs[1]->fade});
  EXPECT_THROW(group.Sweep(), EZeroDivide);
  auto blends = MakeRigs(kCases[5], {{10, 10}, {12, 8}});
  for (const auto& rig : blends) rig->fade.SetBlendRateUnchecked(0);
  TMorfFadeGroup blendGroup({&blends[0]->fade, &blends[1]->fade});
  EXPECT_THROW(blendGroup.Blend(), EMorfFade);
  EXPECT_EQ(blends[0]->CountEvents("Begin"), 0);
}

}  // namespace
}  // namespace velmora
