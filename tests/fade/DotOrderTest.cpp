#include "fade/DotOrder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <utility>
#include <vector>

#include "app/Random.h"
#include "support/DotListReference.h"

namespace velmora {
namespace {

using testing::Pixel;
using testing::ReferenceDotList;

// The pixels in arrival order, taken from the cursor `chunk` at a time.
std::vector<Pixel> Arrivals(DotOrder& order, bool fromEnd, std::int64_t chunk = 1 << 30) {
  std::vector<Pixel> out;
  order.Rewind(fromEnd);
  for (std::int64_t done = 0; done < order.Count(); done += chunk) {
    order.Take(chunk, [&](int row, int col, int len) {
      for (int i = 0; i < len; ++i) out.emplace_back(row, fromEnd ? col + len - 1 - i : col + i);
    });
  }
  return out;
}

class FixedSeed : public ::testing::Test {
 protected:
  void SetUp() override { SetFixedRandomizeSeed(12345u); }
  void TearDown() override { SetFixedRandomizeSeed(std::nullopt); }
};

using DotOrderTest = FixedSeed;

TEST_F(DotOrderTest, EqualsTheReferenceListForEverySizeDirectionDotSizeAndRate) {
  const std::pair<int, int> sizes[] = {{1, 1}, {7, 5}, {13, 11}, {20, 3}, {3, 20}, {16, 16}, {31, 9}};
  const TDirection dirs[] = {TDirection::FromLeft,   TDirection::FromRight, TDirection::FromTop,
                             TDirection::FromBottom, TDirection::XcenterOut, TDirection::XcenterIn,
                             TDirection::YcenterOut, TDirection::YcenterIn, TDirection::ZoomIn,
                             TDirection::ZoomOut,    TDirection::None};
  int cases = 0;
  for (auto [w, h] : sizes)
    for (TDirection dir : dirs)
      for (int d : {1, 2, 3, 5, 40})
        for (int g : {0, 1, 3, 5, 34})
          for (TAction action : {TAction::xDissolve, TAction::Discover}) {
            if (action == TAction::Discover && g != 5) continue;
            SCOPED_TRACE(::testing::Message() << w << "x" << h << " dir " << int(dir) << " D " << d
                                              << " G " << g << " action " << int(action));
            const std::vector<Pixel> ref = ReferenceDotList(w, h, d, dir, action, g);
            const std::uint32_t refSeed = RandSeed();
            DotOrder order;
            order.Build(w, h, d, dir, action, g);
            ASSERT_EQ(RandSeed(), refSeed);  // same numbers drawn
            ASSERT_EQ(order.Count(), std::int64_t(w) * h);
            ASSERT_EQ(Arrivals(order, false), ref);
            // Taken in odd pieces (blocks split between steps), the order holds.
            ASSERT_EQ(Arrivals(order, false, 7), ref);
            std::vector<Pixel> back(ref.rbegin(), ref.rend());
            ASSERT_EQ(Arrivals(order, true, 3), back);
            ++cases;
          }
  EXPECT_GT(cases, 1000);
}

TEST_F(DotOrderTest, ReverseFlagBelongsToTheReversingDirections) {
  DotOrder order;
  for (int v = 0; v <= int(TDirection::None); ++v) {
    const TDirection dir = TDirection(v);
    order.Build(4, 4, 1, dir, TAction::Discover, 1);
    const bool expected = dir == TDirection::FromRight || dir == TDirection::FromBottom ||
                          dir == TDirection::XcenterIn || dir == TDirection::YcenterIn ||
                          dir == TDirection::ZoomIn || dir == TDirection::FromBottomRight ||
                          dir == TDirection::FromBottomLeft;
    EXPECT_EQ(order.Reversed(), expected) << v;
  }
}

std::vector<int> Columns(const std::vector<Pixel>& pixels) {
  std::vector<int> out;
  for (const Pixel& p : pixels) out.push_back(p.second);
  return out;
}

TEST_F(DotOrderTest, CentreOutColumnsSkipThoseOutsideTheGrid) {
  DotOrder order;
  order.Build(4, 1, 1, TDirection::XcenterOut, TAction::Discover, 5);
  EXPECT_EQ(Columns(Arrivals(order, false)), (std::vector<int>{2, 3, 1, 0}));
  order.Build(5, 1, 1, TDirection::XcenterOut, TAction::Discover, 5);
  EXPECT_EQ(Columns(Arrivals(order, false)), (std::vector<int>{2, 3, 1, 4, 0}));
}

TEST_F(DotOrderTest, ZoomOutIsASpiralAndZoomInItsReverse) {
  DotOrder order;
  order.Build(3, 3, 1, TDirection::ZoomOut, TAction::Discover, 5);
  const std::vector<Pixel> spiral = {{1, 1}, {0, 1}, {0, 2}, {1, 2}, {2, 2}, {2, 1}, {2, 0}, {1, 0}, {0, 0}};
  EXPECT_FALSE(order.Reversed());
  EXPECT_EQ(Arrivals(order, order.Reversed()), spiral);
  order.Build(3, 3, 1, TDirection::ZoomIn, TAction::Discover, 5);
  EXPECT_TRUE(order.Reversed());
  EXPECT_EQ(Arrivals(order, order.Reversed()), std::vector<Pixel>(spiral.rbegin(), spiral.rend()));
}

TEST_F(DotOrderTest, DiscoverFromLeftGoesColumnByColumnAndFromRightBackwards) {
  DotOrder order;
  order.Build(3, 2, 1, TDirection::FromLeft, TAction::Discover, 5);
  EXPECT_EQ(Arrivals(order, false), (std::vector<Pixel>{{0, 0}, {1, 0}, {0, 1}, {1, 1}, {0, 2}, {1, 2}}));
  order.Build(3, 2, 1, TDirection::FromRight, TAction::Discover, 5);
  EXPECT_EQ(Arrivals(order, true), (std::vector<Pixel>{{1, 2}, {0, 2}, {1, 1}, {0, 1}, {1, 0}, {0, 0}}));
}

TEST_F(DotOrderTest, OneBlockCoveringThePictureIsARowByRowWipe) {
  DotOrder order;
  order.Build(3, 2, 40, TDirection::XcenterOut, TAction::xDissolve, 5);
  EXPECT_EQ(Arrivals(order, false), (std::vector<Pixel>{{0, 0}, {0, 1}, {0, 2}, {1, 0}, {1, 1}, {1, 2}}));
}

TEST_F(DotOrderTest, GeneralRateZeroKeepsTheOrderButDrawsTheNumbers) {
  DotOrder plain, shuffled;
  plain.Build(50, 40, 1, TDirection::FromTop, TAction::Discover, 0);
  shuffled.Build(50, 40, 1, TDirection::FromTop, TAction::xDissolve, 0);
  EXPECT_EQ(Arrivals(shuffled, false), Arrivals(plain, false));
  EXPECT_EQ(shuffled.HeldBytes(), 0u);  // nothing stored for an order that stays as built
  // The generator moves on once per block: six blocks from seed 0 leave the
  // sixth seed of the sequence (RandomTest), 2884733762.
  SetFixedRandomizeSeed(0u);
  shuffled.Build(3, 2, 1, TDirection::FromTop, TAction::xDissolve, 0);
  EXPECT_EQ(RandSeed(), 2884733762u);
}

// Shuffles worked out by hand from the generator's values after seed 0
// (RandomTest): Random(3) gives 0, 0, 2, 0, 0, 2 and Random(4) 0, 0, 3, 0.
TEST_F(DotOrderTest, ShuffleExchangesWithTheGeneratorsDraws) {
  const struct {
    int w, h;
    TDirection dir;
    int g;
    std::vector<Pixel> order;
    std::uint32_t seedAfter;
  } cases[] = {
      // Rows of three, window Nc * G = 3: j = i + 0, 1 + 0, 2 + 2 (exchange
      // 2 and 4), 3 + 0, 4 + 0, 5 + 2 (outside: no exchange).
      {3, 2, TDirection::FromTop, 1, {{0, 0}, {0, 1}, {1, 1}, {1, 0}, {0, 2}, {1, 2}}, 2884733762u},
      // None shuffles the whole list: j = Random(4) = 0, 0, 3, 0 exchanges
      // 1 with 0, then 2 with 3, then 3 with 0.
      {4, 1, TDirection::None, 7, {{0, 2}, {0, 0}, {0, 3}, {0, 1}}, 870078620u},
  };
  SetFixedRandomizeSeed(0u);
  for (const auto& c : cases) {
    SCOPED_TRACE(::testing::Message() << c.w << "x" << c.h << " dir " << int(c.dir));
    DotOrder order;
    order.Build(c.w, c.h, 1, c.dir, TAction::xDissolve, c.g);
    EXPECT_EQ(Arrivals(order, false), c.order);
    EXPECT_EQ(RandSeed(), c.seedAfter);
  }
  // FromBottom reads the same shuffled list from its end.
  DotOrder order;
  order.Build(3, 2, 1, TDirection::FromBottom, TAction::xDissolve, 1);
  EXPECT_EQ(Arrivals(order, true), (std::vector<Pixel>{{1, 2}, {0, 2}, {1, 0}, {1, 1}, {0, 1}, {0, 0}}));
}

TEST_F(DotOrderTest, HoldsAtMostFourBytesPerBlockAndNothingPerPixel) {
  DotOrder order;
  order.Build(640, 480, 1, TDirection::FromLeft, TAction::Discover, 5);
  EXPECT_EQ(order.HeldBytes(), 0u);
  order.Build(640, 480, 1, TDirection::ZoomOut, TAction::Discover, 5);
  EXPECT_LT(order.HeldBytes(), 64u * 1024u);  // the spiral's straight pieces only
  order.Build(640, 480, 8, TDirection::FromLeft, TAction::xDissolve, 5);
  EXPECT_LE(order.HeldBytes(), order.UnitCount() * 4u);
  order.Release();
  EXPECT_EQ(order.HeldBytes(), 0u);
}

TEST_F(DotOrderTest, VerticalTakesRowsGeneralRateApartAndHorizontalColumns) {
  DotOrder order;
  order.Build(2, 5, 1, TDirection::Vertical, TAction::Discover, 2);
  EXPECT_EQ(Arrivals(order, false), (std::vector<Pixel>{{0, 0}, {0, 1}, {2, 0}, {2, 1}, {4, 0}, {4, 1},
                                                         {1, 0}, {1, 1}, {3, 0}, {3, 1}}));
  order.Build(5, 2, 1, TDirection::Horizontal, TAction::Discover, 3);
  EXPECT_EQ(Arrivals(order, false), (std::vector<Pixel>{{0, 0}, {1, 0}, {0, 3}, {1, 3}, {0, 1}, {1, 1},
                                                         {0, 4}, {1, 4}, {0, 2}, {1, 2}}));
}

TEST_F(DotOrderTest, EveryDirectionRevealsEveryPixelExactlyOnce) {
  for (int v = 0; v <= int(TDirection::None); ++v)
    for (int d : {-3, 0, 1, 4})
      for (TAction action : {TAction::xDissolve, TAction::Discover}) {
        SCOPED_TRACE(::testing::Message() << "dir " << v << " D " << d);
        DotOrder order;
        order.Build(17, 9, d, TDirection(v), action, 3);
        std::vector<Pixel> pixels = Arrivals(order, order.Reversed(), 5);
        ASSERT_EQ(pixels.size(), 17u * 9u);
        std::sort(pixels.begin(), pixels.end());
        EXPECT_TRUE(std::adjacent_find(pixels.begin(), pixels.end()) == pixels.end());
      }
}

TEST_F(DotOrderTest, EmptyPictureHasAnEmptyOrder) {
  DotOrder order;
  order.Build(0, 10, 1, TDirection::ZoomOut, TAction::xDissolve, 5);
  EXPECT_EQ(order.Count(), 0);
  EXPECT_TRUE(Arrivals(order, true).empty());
}

}  // namespace
}  // namespace velmora
