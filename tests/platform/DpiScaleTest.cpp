#include "platform/DpiScale.h"

#include <gtest/gtest.h>

#include <cmath>

namespace velmora {
namespace {

struct ScaleCase {
  int value;
  int dpi;
  int expected;
};

TEST(DpiScaleTest, LengthsScaleByOneRoundingRule) {
  const ScaleCase cases[] = {
      {0, 144, 0},     {1, 96, 1},      {13, 96, 13},    {508, 96, 508},  // 100 %: unchanged
      {13, 120, 16},   {15, 120, 19},   {2, 120, 3},     {111, 120, 139},  // 125 %: halves round up
      {13, 144, 20},   {111, 144, 167}, {1, 144, 2},     {508, 144, 762},  // 150 %
      {13, 192, 26},   {111, 192, 222}, {379, 192, 758},                   // 200 %
      {-3, 144, -5},   {-1, 120, -1},   {-13, 144, -20},                   // negatives mirror positives
      {13, 0, 13},     {13, -5, 13},                                       // no DPI: 96
      {7, 72, 5},      {9, 168, 16},                                       // below 96, 175 %
  };
  for (const ScaleCase& c : cases) {
    EXPECT_EQ(ScaleToDpi(c.value, c.dpi), c.expected) << c.value << " at " << c.dpi;
  }
}

TEST(DpiScaleTest, UnscaleUndoesScaleAtAndAbove96) {
  for (int dpi : {96, 120, 144, 168, 192, 240, 288}) {
    for (int value = -40; value <= 600; ++value) {
      ASSERT_EQ(UnscaleFromDpi(ScaleToDpi(value, dpi), dpi), value) << value << " at " << dpi;
    }
  }
}

TEST(DpiScaleTest, RescaleCarriesLengthsBetweenScales) {
  const ScaleCase cases[] = {
      // value measured at 144, wanted at dpi
      {167, 192, 223}, {20, 96, 13}, {762, 144, 762}, {3, 120, 3}, {-20, 192, -27},
  };
  for (const ScaleCase& c : cases) {
    EXPECT_EQ(RescaleDpi(c.value, 144, c.dpi), c.expected) << c.value << " to " << c.dpi;
  }
  EXPECT_EQ(RescaleDpi(222, 192, 144), 167);
  EXPECT_EQ(RescaleDpi(50, 0, 192), 100);  // no DPI: 96
}

TEST(DpiScaleTest, FontPointsBecomeCharacterHeights) {
  const ScaleCase cases[] = {
      {8, 96, 11},  {9, 96, 12},  {12, 96, 16},  // 100 %
      {8, 120, 13}, {9, 120, 15},                // 125 %
      {8, 144, 16}, {9, 144, 18},                // 150 %
      {8, 192, 21}, {9, 192, 24},                // 200 %
      {8, 0, 11},
  };
  for (const ScaleCase& c : cases) {
    EXPECT_EQ(PointsToPixelsAtDpi(c.value, c.dpi), c.expected) << c.value << " pt at " << c.dpi;
  }
}

TEST(DpiScaleTest, RectanglesScaleByTheirEdges) {
  struct RectCase {
    DpiRect designed;
    int dpi;
    DpiRect expected;
  };
  const RectCase cases[] = {
      {{8, 8, 121, 169}, 96, {8, 8, 121, 169}},
      {{8, 8, 121, 169}, 144, {12, 12, 182, 254}},
      {{1, 1, 111, 111}, 144, {2, 2, 166, 166}},  // edges 2 and 168: the size is within a pixel of 166.5
      {{1, 1, 111, 111}, 192, {2, 2, 222, 222}},
      {{24, 4, 93, 13}, 120, {30, 5, 116, 16}},
      {{0, 0, 508, 2}, 144, {0, 0, 762, 3}},
  };
  for (const RectCase& c : cases) {
    const DpiRect scaled = ScaleToDpi(c.designed, c.dpi);
    EXPECT_EQ(scaled, c.expected) << c.designed.x << "," << c.designed.y << " at " << c.dpi;
    // Every side within a pixel of the plain scaled length.
    EXPECT_LE(std::abs(scaled.width - c.designed.width * c.dpi / 96.0), 1.0);
    EXPECT_LE(std::abs(scaled.height - c.designed.height * c.dpi / 96.0), 1.0);
  }
}

}  // namespace
}  // namespace velmora
