#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "app/Random.h"
#include "frames/EffectCatalogue.h"
#include "frames/FrameRecord.h"

namespace velmora {
namespace {

// The generator written out from its definition, to predict draws.
struct GeneratorModel {
  std::uint32_t seed;
  std::int32_t Next(std::int32_t n) {
    seed = seed * 134775813u + 1u;
    return std::int32_t((std::uint64_t(seed) * std::uint64_t(std::uint32_t(n))) >> 32);
  }
};

std::vector<std::int32_t> Scaled(std::int32_t min, std::int32_t max) {
  std::vector<std::int32_t> values;
  for (int p = 0; p <= 10; ++p) values.push_back(ScaleSetting(p, min, max));
  return values;
}

TEST(EffectCatalogueTest, ScaleSettingGivesTheSliderValuesOfEveryEffect) {
  EXPECT_EQ(Scaled(30, 200), (std::vector<std::int32_t>{30, 47, 64, 81, 98, 115, 132, 149, 166, 183, 200}));
  EXPECT_EQ(Scaled(100, 300), (std::vector<std::int32_t>{100, 120, 140, 160, 180, 200, 220, 240, 260, 280, 300}));
  EXPECT_EQ(Scaled(16, 128), (std::vector<std::int32_t>{16, 27, 38, 50, 61, 72, 83, 94, 106, 117, 128}));
  EXPECT_EQ(Scaled(16, 64), (std::vector<std::int32_t>{16, 21, 26, 30, 35, 40, 45, 50, 54, 59, 64}));
  const std::vector<std::int32_t> dots = Scaled(1, 40);
  EXPECT_EQ(dots, (std::vector<std::int32_t>{1, 5, 9, 13, 17, 21, 24, 28, 32, 36, 40}));
  std::vector<std::int32_t> general;
  for (std::int32_t d : dots) general.push_back(30 / d + 4);
  EXPECT_EQ(general, (std::vector<std::int32_t>{34, 10, 7, 6, 5, 5, 5, 5, 4, 4, 4}));
}

TEST(EffectCatalogueTest, ScaleSettingRoundsTiesToEvenLikeTheFloatingQuotient) {
  EXPECT_EQ(ScaleSetting(5, 1, 40), 21);   // 19.5 -> 20
  EXPECT_EQ(ScaleSetting(5, 0, 5), 2);     // 2.5 -> 2
  EXPECT_EQ(ScaleSetting(5, 0, 7), 4);     // 3.5 -> 4
  EXPECT_EQ(ScaleSetting(-5, 0, 1), 0);    // -0.5 -> 0
  EXPECT_EQ(ScaleSetting(-15, 0, 1), -2);  // -1.5 -> -2
  EXPECT_EQ(ScaleSetting(-1, 16, 128), 5); // -11.2 -> -11
  // Against the floating-point definition over a spread of inputs.
  for (std::int32_t position = -12; position <= 12; ++position)
    for (std::int32_t min : {-300, -1, 0, 1, 16, 30, 100})
      for (std::int32_t max : {-7, 0, 5, 40, 64, 128, 200, 300, 1001}) {
        const std::int32_t product = position * (max - min);
        const std::int32_t expect = std::int32_t(std::nearbyint(product / 10.0)) + min;
        ASSERT_EQ(ScaleSetting(position, min, max), expect) << position << " " << min << " " << max;
      }
  // Large products wrap as 32-bit values do instead of overflowing.
  EXPECT_EQ(ScaleSetting(2, 0, 2000000000), std::int32_t(std::nearbyint(std::int32_t(std::uint32_t(4000000000u)) / 10.0)));
}

TEST(EffectCatalogueTest, OfferedDirectionCounts) {
  const int expected[ActionRowCount] = {11, 4, 8, 11, 1, 10, 0};
  for (int action = 0; action < ActionRowCount; ++action)
    EXPECT_EQ(OfferedDirectionCount(action), expected[action]) << action;
  EXPECT_EQ(OfferedDirectionCount(-1), 0);
  EXPECT_EQ(OfferedDirectionCount(7), 0);
  for (int action = 0; action < ActionRowCount; ++action)
    EXPECT_LE(OfferedDirectionCount(action), 12) << "more than the edit window's buttons";
}

std::set<int> Offered(int action) {
  std::set<int> set;
  for (int d = 0; d < DirectionCodeCount; ++d)
    if (EffectTable[action][d].Allowed) set.insert(d);
  return set;
}

TEST(EffectCatalogueTest, TableRowsHoldTheListedDirectionsAndRanges) {
  EXPECT_EQ(Offered(ActionStretch), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7, 8, 10, 15}));
  EXPECT_EQ(Offered(ActionPush), (std::set<int>{0, 1, 2, 3}));
  EXPECT_EQ(Offered(ActionSlide), (std::set<int>{0, 1, 2, 3, 4, 5, 6, 7}));
  EXPECT_EQ(Offered(ActionDissolve), (std::set<int>{0, 1, 2, 3, 8, 9, 10, 11, 14, 15, 16}));
  EXPECT_EQ(Offered(ActionBlend), (std::set<int>{16}));
  EXPECT_EQ(Offered(ActionDiscover), (std::set<int>{0, 1, 2, 3, 8, 9, 10, 11, 14, 15}));
  EXPECT_TRUE(Offered(ActionAny).empty());

  // Stretch: every entry has the speed slider and the range, offered or not.
  for (int d = 0; d < DirectionCodeCount; ++d)
    EXPECT_EQ(EffectTable[ActionStretch][d],
              EffectTableEntry(d <= 8 || d == 10 || d == 15, false, true, 0, 0, 30, 200)) << d;
  EXPECT_EQ(EffectTable[ActionPush][3], EffectTableEntry(true, false, true, 0, 0, 100, 300));
  EXPECT_EQ(EffectTable[ActionPush][4], EffectTableEntry());
  EXPECT_EQ(EffectTable[ActionPush][8], EffectTableEntry());
  EXPECT_EQ(EffectTable[ActionSlide][7], EffectTableEntry(true, false, true, 0, 0, 100, 300));
  EXPECT_EQ(EffectTable[ActionSlide][8], EffectTableEntry());
  EXPECT_EQ(EffectTable[ActionDissolve][0], EffectTableEntry(true, true, true, 1, 40, 16, 128));
  EXPECT_EQ(EffectTable[ActionDissolve][5], EffectTableEntry(false, true, true, 1, 40, 16, 128));
  EXPECT_EQ(EffectTable[ActionDissolve][12], EffectTableEntry(false, false, false, 1, 40, 16, 128));
  EXPECT_EQ(EffectTable[ActionDissolve][16], EffectTableEntry(true, true, true, 1, 40, 16, 128));
  EXPECT_EQ(EffectTable[ActionBlend][16], EffectTableEntry(true, false, true, 0, 0, 16, 64));
  EXPECT_EQ(EffectTable[ActionBlend][0], EffectTableEntry());
  EXPECT_EQ(EffectTable[ActionDiscover][13], EffectTableEntry(false, false, true, 0, 0, 16, 128));
  EXPECT_EQ(EffectTable[ActionDiscover][16], EffectTableEntry());
  for (int d = 0; d < DirectionCodeCount; ++d) EXPECT_EQ(EffectTable[ActionAny][d], EffectTableEntry());
}

TEST(EffectCatalogueTest, LookupByEffectCodeAndItsEdges) {
  static_assert(EffectTableEntry(EffectBlend, DirectionNone).Allowed, "usable at compile time");
  EXPECT_EQ(EffectTableEntry(EffectDissolve, DirectionFromTopLeft), EffectTable[ActionDissolve][4]);
  EXPECT_EQ(EffectTableEntry(EffectAny, DirectionFromLeft), EffectTableEntry());
  // Nothing to look up: the all-zero entry.
  EXPECT_EQ(EffectTableEntry(EffectNone, 0), EffectTableEntry());
  EXPECT_EQ(EffectTableEntry(8, 0), EffectTableEntry());
  EXPECT_EQ(EffectTableEntry(-1, 0), EffectTableEntry());
  EXPECT_EQ(EffectTableEntry(EffectStretch, 17), EffectTableEntry());
  EXPECT_EQ(EffectTableEntry(EffectStretch, -1), EffectTableEntry());
}

TEST(EffectCatalogueTest, PlayedDirectionMendsDirectionsTheEffectDoesNotOffer) {
  EXPECT_EQ(PlayedDirection(EffectStretch, DirectionZoomOut), DirectionZoomOut);
  EXPECT_EQ(PlayedDirection(EffectStretch, 200), DirectionFromLeft);
  EXPECT_EQ(PlayedDirection(EffectStretch, DirectionXcenterIn), DirectionFromLeft);
  EXPECT_EQ(PlayedDirection(EffectPush, DirectionXcenterOut), DirectionFromLeft);
  EXPECT_EQ(PlayedDirection(EffectDissolve, DirectionFromBottomLeft), DirectionFromLeft);
  EXPECT_EQ(PlayedDirection(EffectBlend, DirectionFromLeft), DirectionNone);
  EXPECT_EQ(PlayedDirection(EffectBlend, 255), DirectionNone);
  EXPECT_EQ(PlayedDirection(EffectDiscover, DirectionNone), DirectionFromLeft);
  EXPECT_EQ(FirstOfferedDirection(ActionAny), DirectionNone);
  EXPECT_EQ(PlayedPosition(-1), 0);
  EXPECT_EQ(PlayedPosition(11), 10);
  EXPECT_EQ(PlayedPosition(7), 7);
}

TEST(EffectCatalogueTest, RandomDirectionTakesOneDrawAndWalksTheOfferedDirections) {
  for (int action = 0; action <= ActionDiscover; ++action) {
    const std::set<int> offeredSet = Offered(action);
    const std::vector<int> offered(offeredSet.begin(), offeredSet.end());
    std::set<int> seen;
    for (std::uint32_t seed : {0u, 1u, 7u, 123456789u, 0xFFFFFFFFu, 86399999u}) {
      for (int k = 0; k < 40; ++k) {
        const std::uint32_t start = seed + std::uint32_t(k) * 2654435761u;
        SetRandSeed(start);
        GeneratorModel model{start};
        const int r = model.Next(std::int32_t(offered.size()));
        const int direction = RandomDirection(action);
        ASSERT_EQ(direction, offered[std::size_t(r)]) << action << " seed " << start;
        ASSERT_EQ(RandSeed(), model.seed) << "exactly one draw";
        seen.insert(direction);
      }
    }
    EXPECT_EQ(seen, Offered(action)) << "every offered direction comes up; action " << action;
  }
  // Worked by hand: seed 0 -> seed 1 after the draw; 1 * 11 >> 32 = 0, the
  // first offered direction. Seed 0x80000000: next seed 0x80000001 (the
  // multiplier is odd), 0x80000001 * 11 >> 32 = 5, Stretch's sixth offered
  // direction, FromBottomRight.
  SetRandSeed(0);
  EXPECT_EQ(RandomDirection(ActionStretch), DirectionFromLeft);
  SetRandSeed(0x80000000u);
  EXPECT_EQ(RandomDirection(ActionStretch), DirectionFromBottomRight);
  // A row without offered directions draws nothing.
  SetRandSeed(42);
  EXPECT_EQ(RandomDirection(ActionAny), DirectionNone);
  EXPECT_EQ(RandSeed(), 42u);
}

TEST(EffectCatalogueTest, NamesAreTheShownTexts) {
  EXPECT_STREQ(EffectNames[EffectNone], "無");
  EXPECT_STREQ(EffectNames[EffectDiscover], "剝現");
  EXPECT_STREQ(EffectNames[EffectAny], "任意");
  EXPECT_STREQ(DirectionNames[DirectionFromLeft], "由左而右");
  EXPECT_STREQ(DirectionNames[DirectionHorizontal], "橫向");
  EXPECT_STREQ(DirectionNames[DirectionNone], "無");
  EXPECT_STREQ(EffectCaptions[EffectDissolve], "Dissolve");
  EXPECT_STREQ(ActionValueNames[ActionDissolve], "xDissolve");
  EXPECT_STREQ(DirectionValueNames[DirectionFromBottomLeft], "FromBottomLeft");
}

std::unique_ptr<FrameRecord> Frame(std::int32_t effect, std::uint8_t direction) {
  auto frame = NewFrameRecord();
  frame->Effect = effect;
  frame->Direction = direction;
  return frame;
}

TEST(EffectCatalogueTest, FrameDescription) {
  EXPECT_EQ(FrameDescription(*Frame(EffectNone, DirectionFromTop)), "");
  EXPECT_EQ(FrameDescription(*Frame(EffectAny, DirectionFromTop)), "任意");
  EXPECT_EQ(FrameDescription(*Frame(EffectDiscover, DirectionXcenterOut)), "剝現 - 由中央而左右");
  EXPECT_EQ(FrameDescription(*Frame(EffectBlend, DirectionNone)), "融入 - 無");
  // Damaged records describe what plays.
  EXPECT_EQ(FrameDescription(*Frame(12, DirectionFromTop)), "");
  EXPECT_EQ(FrameDescription(*Frame(EffectPush, 99)), "推移 - 由左而右");
}

}  // namespace
}  // namespace velmora
