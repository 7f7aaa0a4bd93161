#include "app/Random.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

// Restores the generator's seed, clock and fixed seed after each test.
class RandomTest : public ::testing::Test {
 protected:
  void SetUp() override { saved_ = RandSeed(); }
  void TearDown() override {
    SetRandSeed(saved_);
    SetRandomizeClock({});
    SetFixedRandomizeSeed(std::nullopt);
  }
  std::uint32_t saved_ = 0;
};

TEST_F(RandomTest, SequenceFromSeedZeroMatchesTheHandComputation) {
  // seed 0:
  //   s1 = 0 * 134775813 + 1 = 1;                 (1 * 100) >> 32 = 0
  //   s2 = 1 * 134775813 + 1 = 134775814;         134775814 * 100 = 13477581400,
  //                                               / 2^32 = 3.14 -> 3
  //   s3 = 134775814 * 134775813 + 1 = 18164519904586783
  //      = 4229256 * 2^32 + 3698175007;           3698175007 * 100 = 369817500700,
  //                                               / 2^32 = 86.10 -> 86
  //   s4 = 3698175007 * 134775813 + 1 = 498424543184705692
  //      = 116048507 * 2^32 + 870078620;          870078620 * 1000 / 2^32 = 202.58 -> 202
  //   s5 = 1172187917 (the seed still advances);  n = 0 -> 0
  //   s6 = 2884733762;                            2884733762 * 7 / 2^32 = 4.70 -> 4
  SetRandSeed(0);
  EXPECT_EQ(Random(100), 0);
  EXPECT_EQ(RandSeed(), 1u);
  EXPECT_EQ(Random(100), 3);
  EXPECT_EQ(RandSeed(), 134775814u);
  EXPECT_EQ(Random(100), 86);
  EXPECT_EQ(RandSeed(), 3698175007u);
  EXPECT_EQ(Random(1000), 202);
  EXPECT_EQ(RandSeed(), 870078620u);
  EXPECT_EQ(Random(0), 0);
  EXPECT_EQ(RandSeed(), 1172187917u);
  EXPECT_EQ(Random(7), 4);
  EXPECT_EQ(RandSeed(), 2884733762u);
}

// Seed-to-value pairs the dissolve tests build their shuffles on: the seeds
// of the sequence above with small ranges.
//   Random(3): 1 * 3 >> 32 = 0; 134775814 * 3 = 404327442 -> 0;
//   3698175007 * 3 = 11094525021 -> 2.58 -> 2; 870078620 * 3 -> 0.61 -> 0;
//   1172187917 * 3 -> 0.82 -> 0; 2884733762 * 3 = 8654201286 -> 2.01 -> 2.
//   Random(4): 0, 0, 3698175007 * 4 = 14792700028 -> 3.44 -> 3, then 0, 1, 2.
TEST_F(RandomTest, SmallRangesAlongTheSequenceFromSeedZero) {
  const struct {
    std::int32_t n;
    std::int32_t values[6];
  } cases[] = {
      {3, {0, 0, 2, 0, 0, 2}},
      {4, {0, 0, 3, 0, 1, 2}},  // 1172187917 * 4 -> 1.09; 2884733762 * 4 -> 2.69
      {2, {0, 0, 1, 0, 0, 1}},
  };
  for (const auto& c : cases) {
    SetRandSeed(0);
    for (int k = 0; k < 6; ++k) EXPECT_EQ(Random(c.n), c.values[k]) << "n " << c.n << " draw " << k;
    EXPECT_EQ(RandSeed(), 2884733762u);
  }
}

TEST_F(RandomTest, WrapsModulo2To32AndUsesTheFullRange) {
  // 0xFFFFFFFF * 134775813 + 1 = -134775813 + 1 (mod 2^32) = 4160191484;
  // 4160191484 * 2147483647 >> 32 = 2080095741.
  SetRandSeed(0xFFFFFFFFu);
  EXPECT_EQ(Random(0x7FFFFFFF), 2080095741);
  EXPECT_EQ(RandSeed(), 4160191484u);
  // 12345 * 134775813 + 1 = 1663807411486 = 387 * 2^32 + 1655067934;
  // 1655067934 * 10 / 2^32 = 3.85 -> 3.
  SetRandSeed(12345);
  EXPECT_EQ(Random(10), 3);
  EXPECT_EQ(RandSeed(), 1655067934u);
}

TEST_F(RandomTest, ResultsStayBelowN) {
  SetRandSeed(42);
  for (int i = 0; i < 10000; ++i) {
    const int n = 1 + i % 97;
    const int r = Random(n);
    ASSERT_GE(r, 0);
    ASSERT_LT(r, n);
  }
  EXPECT_EQ(Random(1), 0);
  EXPECT_EQ(Random(-3), 0);  // not a valid range: nothing but 0
}

TEST_F(RandomTest, RandomizeTakesMillisecondsSinceUtcMidnight) {
  // 13:45:07.089 UTC -> ((13 * 60 + 45) * 60 + 7) * 1000 + 89 = 49507089.
  SetRandomizeClock([] { return std::uint32_t{((13u * 60 + 45) * 60 + 7) * 1000 + 89}; });
  Randomize();
  EXPECT_EQ(RandSeed(), 49507089u);

  SetRandomizeClock({});
  Randomize();
  EXPECT_LT(RandSeed(), 86'400'000u);
  EXPECT_LT(SystemUtcTimeOfDayMs(), 86'400'000u);
}

TEST_F(RandomTest, FixedSeedOverridesTheClockUntilCleared) {
  SetRandomizeClock([] { return std::uint32_t{500}; });
  SetFixedRandomizeSeed(77);
  Randomize();
  EXPECT_EQ(RandSeed(), 77u);
  Random(10);
  Randomize();
  EXPECT_EQ(RandSeed(), 77u);
  SetFixedRandomizeSeed(std::nullopt);
  Randomize();
  EXPECT_EQ(RandSeed(), 500u);
}

}  // namespace
}  // namespace velmora
